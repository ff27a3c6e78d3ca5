#include "zip/ZkZipFormat.h"

#include "base/ZkDateTime.h"
#include "platform/ZkCodePage.h"
#include "util/ZkUtil.h"

namespace zk::zipformat {

std::uint32_t ReadU32(std::string_view bytes) {
  ByteReader reader(bytes);
  return reader.U32();
}

DosDateTime ToDosDateTime(TDateTime moment) {
  const TDateTimeParts parts = DecodeDateTime(moment);
  if (parts.Year < 1980 || parts.Year > 2107) return {};
  DosDateTime dos;
  dos.Time = static_cast<std::uint16_t>(parts.Hour * 2048 + parts.Minute * 32 + parts.Second / 2);
  dos.Date = static_cast<std::uint16_t>((parts.Year - 1980) * 512 + parts.Month * 32 + parts.Day);
  return dos;
}

TDateTime FromDosDateTime(DosDateTime dos) {
  TDateTime date = 0;
  if (!TryEncodeDate(1980 + (dos.Date >> 9), (dos.Date >> 5) & 0x0F, dos.Date & 0x1F, date)) return 0;
  TDateTime time = 0;
  if (!TryEncodeTime(dos.Time >> 11, (dos.Time >> 5) & 0x3F, (dos.Time & 0x1F) * 2, 0, time)) time = 0;
  return date + time;
}

StoredName EncodeEntryName(std::string_view name) {
  if (!IsValidUtf8(name)) return {std::string(name), false, true};
  if (auto oem = platform::Utf8ToCodePage(name, platform::TCodePage::cp852)) return {std::move(*oem), false};
  return {std::string(name), true};
}

std::string DecodeEntryName(std::string_view bytes, bool utf8Flag) {
  if (utf8Flag) return std::string(bytes);
  if (auto text = platform::CodePageToUtf8(bytes, platform::TCodePage::cp852)) return std::move(*text);
  return std::string(bytes);
}

std::string WithoutZip64Extra(std::string_view extra) {
  std::string kept;
  ByteReader reader(extra);
  while (reader.Remaining() >= kExtraHeaderSize) {
    const std::size_t start = reader.Position();
    const std::uint16_t id = reader.U16();
    const std::uint16_t size = reader.U16();
    reader.Bytes(size);
    if (!reader.Ok()) {
      // A field that runs past the end is kept as it came.
      kept.append(extra.substr(start));
      return kept;
    }
    if (id != kZip64ExtraId) kept.append(extra.substr(start, kExtraHeaderSize + size));
  }
  kept.append(extra.substr(reader.Position()));
  return kept;
}

Zip64Values ReadZip64Extra(std::string_view extra, bool wantUncompressed, bool wantCompressed, bool wantOffset,
                           bool wantDisk) {
  Zip64Values values;
  ByteReader reader(extra);
  while (reader.Remaining() >= kExtraHeaderSize) {
    const std::uint16_t id = reader.U16();
    const std::uint16_t size = reader.U16();
    const std::string_view body = reader.Bytes(size);
    if (!reader.Ok()) break;
    if (id != kZip64ExtraId) continue;
    ByteReader field(body);
    if (wantUncompressed && field.Remaining() >= 8) values.UncompressedSize = field.U64();
    if (wantCompressed && field.Remaining() >= 8) values.CompressedSize = field.U64();
    if (wantOffset && field.Remaining() >= 8) values.LocalHeaderOffset = field.U64();
    if (wantDisk && field.Remaining() >= 4) values.DiskNumber = field.U32();
    break;
  }
  return values;
}

}  // namespace zk::zipformat
