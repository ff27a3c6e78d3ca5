#include "engine/ZkRetention.h"

#include <algorithm>
#include <set>

namespace zk {

std::vector<TZkRunRecord> RunsToPrune(const std::vector<std::string>& history, int keep) {
  std::vector<TZkRunRecord> pruned;
  if (keep < 1) return pruned;
  const std::vector<TZkRunRecord> runs = RunsOfHistory(history);
  // The oldest run that stays: the keep-th complete full run, newest first.
  std::size_t oldestKept = runs.size();
  int full = 0;
  for (std::size_t i = 0; i < runs.size(); ++i) {
    if (!runs[i].Ok() || runs[i].Kind == TZkRunKind::rkDifferential) continue;
    if (++full == keep) {
      oldestKept = i;
      break;
    }
  }
  if (oldestKept == runs.size()) return pruned;
  // What the runs that stay stand on: their own archives, and the bases of
  // their differential archives.
  std::set<std::string> kept;
  for (std::size_t i = 0; i <= oldestKept; ++i) {
    kept.insert(runs[i].Path);
    if (runs[i].BasePath) kept.insert(*runs[i].BasePath);
  }
  std::set<std::string> named;
  for (std::size_t i = oldestKept + 1; i < runs.size(); ++i)
    if (!kept.contains(runs[i].Path) && named.insert(runs[i].Path).second) pruned.push_back(runs[i]);
  return pruned;
}

}  // namespace zk
