#pragma once
// Which old archives of a job go when it keeps only its newest complete
// full runs.

#include <string>
#include <vector>

#include "engine/ZkRunHistory.h"

namespace zk {

// The runs of a history (oldest first) whose archives go when the newest
// `keep` complete ("Ok") full runs stay: every older run, except the full
// archives that a kept differential archive was made against. Nothing when
// `keep` is below 1 or there are no more complete full runs than that.
// Only the history's own paths are ever named, newest first.
std::vector<TZkRunRecord> RunsToPrune(const std::vector<std::string>& history, int keep);

}  // namespace zk
