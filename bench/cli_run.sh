#!/usr/bin/env bash
# Builds backup-cli optimised and measures, each in a child process:
#  1. `backup-cli run --no-throttle` of a zip job over a mixed corpus (text,
#     random binary, already compressed data, many small files; about
#     180 MB, made once) against `zip -9 -r -q` of the same folder: wall
#     time, their ratio, and peak RSS (GNU time);
#  2. a small run with the waits on against the sum of the waits it must
#     make: 200 ms per folder collected, 100 ms per file, 100 ms per
#     compression progress report (one per full 64 KiB block of deflate
#     output, counted from the archive's compressed sizes).
# Usage: bench/cli_run.sh [work folder, default /tmp/zk-cli-bench] (BUILD_DIR
# overrides build-release)
set -euo pipefail
work="${1:-/tmp/zk-cli-bench}"
build="${BUILD_DIR:-build-release}"
cd "$(dirname "$0")/.."
scripts/setup.sh
if [ ! -x /usr/bin/time ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y time
fi
cmake --preset release -B "$build" -DZK_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target backup-cli
cli="$(cd "$build" && pwd)/apps/backup-cli/backup-cli"

corpus="$work/corpus"
if [ ! -f "$work/generated" ]; then
  echo "Generating $corpus"
  rm -rf "$corpus"
  mkdir -p "$corpus"
  python3 - "$corpus" <<'PY'
import os, random, sys, zlib
root = sys.argv[1]
rnd = random.Random(7)
words = [bytes(rnd.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rnd.randint(2, 9))) for _ in range(5000)]
def text(size):
    lines, total = [], 0
    while total < size:
        line = b" ".join(rnd.choice(words) for _ in range(12)) + b"\n"
        lines.append(line)
        total += len(line)
    return b"".join(lines)[:size]
def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(data)
mb = 1000 * 1000
for i in range(8):
    write(f"{root}/text/part{i}.txt", text(10 * mb))
for i in range(5):
    write(f"{root}/binary/random{i}.bin", rnd.randbytes(10 * mb))
for i in range(3):
    write(f"{root}/compressed/archive{i}.gz", zlib.compress(text(40 * mb), 9)[: 10 * mb])
for folder in range(80):
    for i in range(50):
        size = rnd.randint(500, 8000)
        data = text(size) if i % 3 else rnd.randbytes(size)
        write(f"{root}/small/d{folder:02}/f{i:02}.dat", data)
PY
  touch "$work/generated"
fi

# A job file with one zip job "Bench" over `source` into `target`.
job_file() {
  local file="$1" source="$2" target="$3"
  cat >"$file" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<Saving><Item Name="Bench"><OutputFolder>$target</OutputFolder><CreateLogFile>1</CreateLogFile>
<PackMode>1</PackMode><AddFiles><Item Name="$source"><SubDir>1</SubDir></Item></AddFiles></Item></Saving>
EOF
}

# Runs the command under GNU time; prints "seconds peak-KiB".
measure() {
  local report="$work/time.txt"
  /usr/bin/time -v -o "$report" "$@" >/dev/null
  awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0; for (i = 1; i <= n; ++i) s = s * 60 + t[i] }
              /Maximum resident set size/ { k = $2 }
              END { printf "%.2f %d\n", s, k }' "$report"
}

files=$(find "$corpus" -type f | wc -l)
bytes=$(du -sb "$corpus" | cut -f1)
echo "== corpus: $files files, $bytes bytes"
rm -rf "$work/run" && mkdir -p "$work/run"
job_file "$work/run/Backup.Xml" "$corpus" "$work/run/out"
sync
read -r ours_s ours_k < <(measure "$cli" --no-throttle --jobs "$work/run/Backup.Xml" run Bench)
rm -f "$work/zip.zip"
sync
read -r zip_s zip_k < <(cd "$work" && measure zip -9 -r -q "$work/zip.zip" corpus)
ours_size=$(stat -c %s "$work/run/out/Bench.Zip")
zip_size=$(stat -c %s "$work/zip.zip")
unzip -tq "$work/run/out/Bench.Zip" >/dev/null
printf '%-28s %8s s  %8s KiB peak RSS  %12s B\n' "backup-cli run --no-throttle" "$ours_s" "$ours_k" "$ours_size"
printf '%-28s %8s s  %8s KiB peak RSS  %12s B\n' "zip -9 -r -q" "$zip_s" "$zip_k" "$zip_size"
awk -v a="$ours_s" -v b="$zip_s" 'BEGIN { printf "time ratio backup-cli / zip -9: %.3f\n", a / b }'

echo
small="$work/small"
rm -rf "$small" && mkdir -p "$small/data"
cp -R "$corpus/small/d00" "$corpus/small/d01" "$small/data/"
head -c 300000 "$corpus/binary/random0.bin" >"$small/data/d00/big.bin"
job_file "$small/Backup.Xml" "$small/data" "$small/out"
read -r waits_s _ < <(measure "$cli" --jobs "$small/Backup.Xml" run Bench)
folders=$(find "$small/data" -type d | wc -l)
small_files=$(find "$small/data" -type f | wc -l)
reports=$(python3 - "$small/out/Bench.Zip" <<'PY'
import sys, zipfile
print(sum(info.compress_size // 65536 for info in zipfile.ZipFile(sys.argv[1]).infolist()
          if info.compress_type == zipfile.ZIP_DEFLATED))
PY
)
echo "== small run with the waits on: $folders folders, $small_files files, $reports progress reports"
awk -v t="$waits_s" -v d="$folders" -v f="$small_files" -v r="$reports" 'BEGIN {
  w = 0.2 * d + 0.1 * f + 0.1 * r
  printf "run %.2f s, mandated waits %.2f s (%d x 200 ms + %d x 100 ms + %d x 100 ms), ratio %.3f\n", t, w, d, f, r, t / w }'
