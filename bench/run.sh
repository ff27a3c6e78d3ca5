#!/usr/bin/env bash
# Builds the benchmarks optimised and prints the figures with the ratios of
# the tree document against pugixml's own parse and save of the same text.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset bench >/dev/null
cmake --build build-bench -j "$(nproc)" --target tree_data_bench
out=build-bench/tree_data_bench.json
build-bench/bench/tree_data_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_out="$out" --benchmark_out_format=json
python3 - "$out" <<'PY'
import json, sys
runs = {b["run_name"]: b["real_time"] for b in json.load(open(sys.argv[1]))["benchmarks"] if b["aggregate_name"] == "median"}
def ratio(ours, peer):
    print(f"{ours:26} / {peer:26} = {runs[ours] / runs[peer]:5.2f}  ({runs[ours]:.1f} ms vs {runs[peer]:.1f} ms)")
print("\nMedian ratios (1.00 = as fast as pugixml alone):")
ratio("BM_TreeDataLoad/Document", "BM_PugixmlParse/Document")
ratio("BM_TreeDataSave/Document", "BM_PugixmlSave")
ratio("BM_LoadAndMapRecords", "BM_PugixmlParse/Records")
print("\nThe mapping on top of the tree document (1.00 = no cost):")
ratio("BM_LoadAndMapRecords", "BM_TreeDataLoad/Records")
ratio("BM_MapAndSaveRecords", "BM_TreeDataSave/Records")
PY
