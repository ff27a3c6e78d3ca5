// Collecting the files of a large tree (the runner generates 100,000 files
// in 5,000 folders) with the engine's waits switched off, so that the figure
// is the cost of the walk itself; once plain, once with a bare exclude mask,
// which is matched in every folder. The tree's folder comes from the
// ZK_COLLECT_TREE environment variable.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/ZkJob.h"
#include "engine/ZkRunControl.h"

namespace {

class NoWaits : public zk::TZkRunControl {
public:
  bool StopRequested() const override { return false; }
  bool Terminated() const override { return false; }
  void Wait(int) override {}
};

void BM_CollectFiles(benchmark::State& state) {
  const char* tree = std::getenv("ZK_COLLECT_TREE");
  if (tree == nullptr || *tree == '\0') {
    state.SkipWithError("ZK_COLLECT_TREE is not set");
    return;
  }
  zk::TZkThreadSaveTask job;
  job.AddFiles().Add().Name = tree;
  if (state.range(0) != 0) job.ExtractFiles().Add().Name = "*.tmp";
  NoWaits control;
  std::vector<std::string> result;
  std::int64_t total = 0;
  for (auto _ : state) {
    result.clear();
    total = job.CollectFiles(result, control);
    benchmark::DoNotOptimize(total);
  }
  state.counters["files"] = static_cast<double>(result.size());
  state.counters["bytes"] = static_cast<double>(total);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(result.size()));
}

}  // namespace

BENCHMARK(BM_CollectFiles)->ArgName("excludeMask")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
