#!/usr/bin/env bash
# Builds backup-cli optimised and measures, each in a child process, on the
# corpus of bench/cli_run.sh (made by it when missing) packed once by
# `backup-cli run`:
#  1. `backup-cli restore --to` against `unzip -o -q -d` of the same archive;
#  2. `backup-cli verify` against `unzip -tq`;
# wall time, their ratio and peak RSS (GNU time). Both restored trees are
# compared with the corpus.
# Usage: bench/restore_run.sh [work folder, default /tmp/zk-cli-bench]
# (BUILD_DIR overrides build-release)
set -euo pipefail
work="${1:-/tmp/zk-cli-bench}"
build="${BUILD_DIR:-build-release}"
cd "$(dirname "$0")/.."
if [ ! -f "$work/generated" ]; then
  bench/cli_run.sh "$work"
fi
cmake --preset release -B "$build" -DZK_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target backup-cli
cli="$(cd "$build" && pwd)/apps/backup-cli/backup-cli"
corpus="$work/corpus"

# Runs the command under GNU time; prints "seconds peak-KiB".
measure() {
  local report="$work/time.txt"
  /usr/bin/time -v -o "$report" "$@" >/dev/null
  awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0; for (i = 1; i <= n; ++i) s = s * 60 + t[i] }
              /Maximum resident set size/ { k = $2 }
              END { printf "%.2f %d\n", s, k }' "$report"
}

restore="$work/restore"
rm -rf "$restore" && mkdir -p "$restore"
cat >"$restore/Backup.Xml" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<Saving><Item Name="Bench"><OutputFolder>$restore/out</OutputFolder>
<PackMode>1</PackMode><AddFiles><Item Name="$corpus"><SubDir>1</SubDir></Item></AddFiles></Item></Saving>
EOF
"$cli" --no-throttle --jobs "$restore/Backup.Xml" run Bench >/dev/null
archive="$restore/out/Bench.Zip"
echo "== archive: $(stat -c %s "$archive") bytes, $(find "$corpus" -type f | wc -l) files"

sync
read -r ours_s ours_k < <(measure "$cli" --jobs "$restore/Backup.Xml" restore Bench --to "$restore/ours")
sync
read -r unzip_s unzip_k < <(measure unzip -o -q "$archive" -d "$restore/unzip")
diff -r "$corpus" "$restore/ours$corpus" >/dev/null
diff -r "$corpus" "$restore/unzip$corpus" >/dev/null
read -r verify_s verify_k < <(measure "$cli" --jobs "$restore/Backup.Xml" verify Bench)
read -r test_s test_k < <(measure unzip -tq "$archive")

printf '%-32s %8s s  %8s KiB peak RSS\n' "backup-cli restore --to" "$ours_s" "$ours_k"
printf '%-32s %8s s  %8s KiB peak RSS\n' "unzip -o -q -d" "$unzip_s" "$unzip_k"
printf '%-32s %8s s  %8s KiB peak RSS\n' "backup-cli verify" "$verify_s" "$verify_k"
printf '%-32s %8s s  %8s KiB peak RSS\n' "unzip -tq" "$test_s" "$test_k"
awk -v a="$ours_s" -v b="$unzip_s" -v c="$verify_s" -v d="$test_s" 'BEGIN {
  printf "time ratio restore / unzip: %.3f, verify / unzip -t: %.3f\n", a / b, c / d }'
rm -rf "$restore/ours" "$restore/unzip"
