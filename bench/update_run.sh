#!/usr/bin/env bash
# What an update run of a large archive with one changed file costs against
# the full run that wrote it (the updated archive is built beside the old
# one: unchanged entries are copied as they are, the changed file is
# compressed again, then the new archive is renamed over the old), next to
# Info-ZIP's `zip -9 -r` and `zip -9 -u` doing the same on a copy of the
# corpus. Uses the corpus of bench/cli_run.sh (made there once).
# Usage: bench/update_run.sh [work folder, default /tmp/zk-cli-bench]
# (BUILD_DIR overrides build-bench)
set -euo pipefail
work="${1:-/tmp/zk-cli-bench}"
build="${BUILD_DIR:-build-bench}"
cd "$(dirname "$0")/.."
if [ ! -f "$work/generated" ]; then
  echo "The corpus is made by bench/cli_run.sh first." >&2
  bench/cli_run.sh "$work" >/dev/null
fi
cmake --preset bench -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc)" --target update_bench
bench="$(cd "$build" && pwd)/bench/update_bench"

copy="$work/update/corpus"
rm -rf "$work/update" && mkdir -p "$work/update"
cp -R "$work/corpus" "$copy"
changed="$copy/text/part3.txt"
echo "== ours: full run, then an update run with one changed file"
"$bench" "$copy" "$work/update" "$changed" | tee "$work/update/ours.txt"
unzip -tq "$work/update/out/Bench.Zip" >/dev/null

echo "== zip -9: full, then -u with one changed file"
cp -R "$work/corpus" "$work/update/peer"
cd "$work/update"
start=$(date +%s.%N)
zip -9 -r -q peer.zip peer
mid=$(date +%s.%N)
echo "one more line" >>peer/text/part3.txt
touch -d '+1 hour' peer/text/part3.txt
zip -9 -r -u -q peer.zip peer
end=$(date +%s.%N)
awk -v s="$start" -v m="$mid" -v e="$end" 'BEGIN {
  printf "full %.3f\nupdate %.3f\nratio update/full %.4f\n", m - s, e - m, (e - m) / (m - s) }'
