#!/usr/bin/env bash
# The run window against backup-cli on the corpus of bench/cli_run.sh (made
# by it when missing): the same zip job with the waits off, once through
# `backup-cli run --no-throttle` and once through the run window
# (offscreen). Prints both times, their ratio (the window may add at most
# 10 %) and the window thread's longest stall while progress streams in
# (under 50 ms); exits non-zero when either limit is broken.
# Usage: bench/run_window.sh [work folder, default /tmp/zk-cli-bench] (BUILD_DIR
# overrides build-release-gui)
set -euo pipefail
work="${1:-/tmp/zk-cli-bench}"
build="${BUILD_DIR:-build-release-gui}"
cd "$(dirname "$0")/.."
[ -f "$work/generated" ] || bench/cli_run.sh "$work"
cmake --preset release -B "$build" -DZK_TESTS=ON >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target backup-cli ui_run_bench
cli="$(cd "$build" && pwd)/apps/backup-cli/backup-cli"
window="$(cd "$build" && pwd)/tests/ui/ui_run_bench"

run="$work/window-run"
rm -rf "$run" && mkdir -p "$run"
cat >"$run/Backup.Xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<Saving><Item Name="Bench"><OutputFolder>$run/out</OutputFolder><FileName>Bench</FileName>
<PackMode>1</PackMode><AddFiles><Item Name="$work/corpus/"><SubDir>1</SubDir></Item></AddFiles></Item></Saving>
XML

sync
start=$(date +%s.%N)
"$cli" --no-throttle --jobs "$run/Backup.Xml" run Bench >/dev/null
cli_s=$(echo "$(date +%s.%N) - $start" | bc)
unzip -tq "$run/out/Bench.Zip" >/dev/null
rm -f "$run/out/Bench.Zip"
sync
read -r window_s stall_ms errors < <(QT_QPA_PLATFORM=offscreen "$window" "$run/Backup.Xml" Bench)
unzip -tq "$run/out/Bench.Zip" >/dev/null

printf '%-34s %8.2f s\n' "backup-cli run --no-throttle" "$cli_s"
printf '%-34s %8.2f s  (longest stall of the window thread %s ms, %s error lines)\n' \
  "run window, Várakozás nélkül" "$window_s" "$stall_ms" "$errors"
awk -v w="$window_s" -v c="$cli_s" -v s="$stall_ms" 'BEGIN {
  r = w / c
  printf "time ratio window / backup-cli: %.3f\n", r
  exit (r <= 1.10 && s < 50) ? 0 : 1 }'
