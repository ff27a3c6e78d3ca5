#!/usr/bin/env python3
"""Writes the damaged and hostile archives of the restore tests into
tests/data/crafted/. Each is built byte by byte, so that a field can say
something the data does not: run it again after changing a case.

    python3 tests/data/make-crafted-archives.py
"""

import pathlib
import struct
import zlib

OUT = pathlib.Path(__file__).resolve().parent / "crafted"

# 2024-01-05 09:07:32 in DOS form.
DOS_TIME = (9 << 11) | (7 << 5) | (32 // 2)
DOS_DATE = ((2024 - 1980) << 9) | (1 << 5) | 5


def deflate(data):
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush()


def entry(name, data, method=8, crc=None, size=None, flags=0, extra=b""):
    """One entry; crc and size, when given, are what the headers claim."""
    packed = deflate(data) if method == 8 else data
    return {
        "name": name if isinstance(name, bytes) else name.encode("utf-8"),
        "packed": packed,
        "method": method,
        "crc": zlib.crc32(data) if crc is None else crc,
        "size": len(data) if size is None else size,
        "flags": flags,
        "extra": extra,
    }


def archive(entries):
    body = b""
    central = b""
    for e in entries:
        offset = len(body)
        shared = struct.pack("<HHHHHIII", 20, e["flags"], e["method"], DOS_TIME, DOS_DATE,
                             e["crc"] & 0xFFFFFFFF, len(e["packed"]), e["size"])
        body += struct.pack("<I", 0x04034B50) + shared + struct.pack("<HH", len(e["name"]), len(e["extra"]))
        body += e["name"] + e["extra"] + e["packed"]
        attributes = 0x10 if e["name"].endswith(b"/") else 0x20
        central += struct.pack("<IH", 0x02014B50, 20) + shared
        central += struct.pack("<HHHHHII", len(e["name"]), len(e["extra"]), 0, 0, 0, attributes, offset)
        central += e["name"] + e["extra"]
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(central), len(body), 0)
    return body + central + end


def unicode_path(stored, utf8, crc=None):
    field = struct.pack("<BI", 1, zlib.crc32(stored) if crc is None else crc) + utf8.encode("utf-8")
    return struct.pack("<HH", 0x7075, len(field)) + field


def main():
    OUT.mkdir(exist_ok=True)
    good = entry("ok.txt", b"the good file\n")
    cases = {
        # Names that would leave the target folder.
        "dot-dot.zip": [good, entry("../escaped.txt", b"outside\n"), entry("sub/../../escaped.txt", b"outside\n")],
        "absolute.zip": [good, entry("/tmp/zk-crafted-absolute.txt", b"outside\n")],
        # The test puts a symbolic link named "link" into the target first.
        "through-link.zip": [good, entry("link/escaped.txt", b"outside\n")],
        # Claims 1,000 bytes; the deflate stream holds a mebibyte.
        "forged-size.zip": [good, entry("big.bin", b"\0" * (1 << 20), size=1000)],
        # Claims more than the data holds.
        "short-data.zip": [good, entry("short.txt", b"only this\n", size=4000)],
        "bad-crc.zip": [good, entry("bad.txt", b"checked data\n", crc=0x12345678)],
        "bad-crc-stored.zip": [good, entry("bad.txt", b"checked data\n", method=0, crc=0x12345678)],
        "unknown-method.zip": [good, entry("odd.bin", b"data", method=12)],
        # The Unicode Path field names the file; a field whose CRC-32 belongs
        # to another name is ignored and the stored bytes are read as CP852.
        "unicode-path.zip": [
            entry(b"\xa0rv\xa1zt\xfbr\x8b.txt", b"field\n", extra=unicode_path(b"\xa0rv\xa1zt\xfbr\x8b.txt", "árvíztűrő.txt")),
            entry(b"k\x82s.txt", b"stale\n", extra=unicode_path(b"other", "másik.txt")),
        ],
    }
    for name, entries in cases.items():
        (OUT / name).write_bytes(archive(entries))
    # Cut off in the middle of its second entry's data: no directory left.
    whole = archive([good, entry("cut.bin", bytes(range(256)) * 64, method=0)])
    (OUT / "truncated.zip").write_bytes(whole[: len(whole) // 2])
    # The directory is there, but the data of the last entry runs past the end.
    data = archive([good, entry("beyond.bin", bytes(range(256)) * 64, method=0)])
    cut = bytearray(data)
    for at in (data.rfind(b"PK\x03\x04") + 18, data.rfind(b"PK\x01\x02") + 20):
        cut[at:at + 4] = struct.pack("<I", 0x7FFFFFF0)
    (OUT / "beyond-end.zip").write_bytes(bytes(cut))


if __name__ == "__main__":
    main()
