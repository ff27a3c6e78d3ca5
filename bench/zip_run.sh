#!/usr/bin/env bash
# Builds the zip benchmark optimised and compares this writer at ctMaximum
# with `zip -9 -r` and `7z a -tzip -mx9` over a mixed corpus: /usr/include
# plus three generated 100 MB files (text, binary with repeats, random),
# made once. Then the peak memory of adding one 2 GiB file.
# Usage: bench/zip_run.sh [work folder, default /tmp/zk-zip-bench] (BUILD_DIR
# overrides build-bench)
set -euo pipefail
work="${1:-/tmp/zk-zip-bench}"
build="${BUILD_DIR:-build-bench}"
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++ -DZK_BENCH=ON -DZK_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target zip_bench

corpus="$work/corpus"
if [ ! -f "$work/generated" ]; then
  echo "Generating $corpus"
  rm -rf "$corpus"
  mkdir -p "$corpus/big"
  cp -r /usr/include "$corpus/include"
  python3 - "$corpus/big" <<'PY'
import os, random, sys
folder = sys.argv[1]
rnd = random.Random(4)
words = [bytes(rnd.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rnd.randint(2, 9))) for _ in range(5000)]
size = 100 * 1000 * 1000
with open(os.path.join(folder, "text.txt"), "wb") as out:
    written = 0
    while written < size:
        line = b" ".join(rnd.choice(words) for _ in range(12)) + b"\n"
        out.write(line)
        written += len(line)
with open(os.path.join(folder, "binary.bin"), "wb") as out:
    block = rnd.randbytes(1 << 16)
    for i in range(size >> 16):
        out.write(block[: (i * 7919) % len(block)] + rnd.randbytes(4096))
with open(os.path.join(folder, "random.bin"), "wb") as out:
    out.write(rnd.randbytes(size))
PY
  touch "$work/generated"
fi
"$build/bench/zip_bench" "$corpus" "$work/out"

echo
big="$work/two-gib.bin"
[ -f "$big" ] || python3 - "$big" <<'PY'
import random, sys
rnd = random.Random(5)
block = bytes(rnd.choice(b"abcdefgh \n") for _ in range(1 << 20))
with open(sys.argv[1], "wb") as out:
    for i in range(2048):
        out.write(block[i % 1024:] + block[: i % 1024])
PY
"$build/bench/zip_bench" --single "$big" "$work/out"
