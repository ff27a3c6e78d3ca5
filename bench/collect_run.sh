#!/usr/bin/env bash
# Builds the collection benchmark optimised, generates (once) a tree of
# 100,000 files in 5,000 folders, and prints the time to collect it next to
# the time `find DIR -type f | wc -l` takes over the same tree, with the ratio.
# Usage: bench/collect_run.sh [folder for the tree, default /tmp/zk-collect-tree]
set -euo pipefail
base="${1:-/tmp/zk-collect-tree}"
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset bench >/dev/null
cmake --build build-bench -j "$(nproc)" --target collect_bench

tree="$base/tree"
if [ ! -f "$base/generated" ]; then
  echo "Generating $tree"
  rm -rf "$tree"
  # 50 folders of 99 sub-folders each: 5,000 folders with 20 files in each.
  python3 - "$tree" <<'PY'
import os, sys
tree = sys.argv[1]
n = 0
for top in range(50):
    for sub in range(100):
        folder = os.path.join(tree, f"d{top:02}") if sub == 0 else os.path.join(tree, f"d{top:02}", f"s{sub:02}")
        os.makedirs(folder, exist_ok=True)
        for f in range(20):
            with open(os.path.join(folder, f"file{f:02}.dat"), "wb") as out:
                out.write(b"x" * (n % 1000))
            n += 1
PY
  touch "$base/generated"
fi
count=$(find "$tree" -type f | wc -l)
[ "$count" -eq 100000 ] || { echo "the tree holds $count files, not 100000; remove $base/generated" >&2; exit 1; }

out=build-bench/collect_bench.json
ZK_COLLECT_TREE="$tree" build-bench/bench/collect_bench --benchmark_repetitions=5 --benchmark_min_warmup_time=0.5 \
  --benchmark_report_aggregates_only=true --benchmark_out="$out" --benchmark_out_format=json

# The median of 11 runs of each find command, in milliseconds, cache warm.
median_ms() {
  local times=()
  "$@" >/dev/null
  for _ in $(seq 11); do
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    times+=($(((end - start) / 1000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n 6p | awk '{ printf "%.1f", $1 / 1000 }'
}
find_names=$(median_ms bash -c "find '$tree' -type f | wc -l")
find_sizes=$(median_ms bash -c "find '$tree' -type f -printf '%s\n' | wc -l")

python3 - "$out" "$find_names" "$find_sizes" <<'PY'
import json, sys
runs = {b["run_name"]: b["real_time"] for b in json.load(open(sys.argv[1]))["benchmarks"] if b["aggregate_name"] == "median"}
find_names, find_sizes = float(sys.argv[2]), float(sys.argv[3])
print("\nMedians, 100,000 files in 5,000 folders, waits off (1.00 = as fast as find):")
for name, ms in runs.items():
    print(f"{name:36} {ms:8.1f} ms   / find -type f {ms / find_names:5.2f}   / find -printf %s {ms / find_sizes:5.2f}")
print(f"{'find -type f | wc -l':36} {find_names:8.1f} ms")
print(f"{'find -type f -printf %s | wc -l':36} {find_sizes:8.1f} ms   (reads every size, as the collection must)")
PY
