#include "engine/ZkRunSequence.h"

#include <algorithm>
#include <utility>

#include "base/ZkText.h"
#include "engine/ZkThreadSave.h"

namespace zk {

TZkRunSequence::TZkRunSequence(std::vector<int> jobs) : jobs_(std::move(jobs)) {}

void TZkRunSequence::Begin(TZkThreadSave& engine) const {
  if (!jobs_.empty()) engine.Saving().Items(jobs_.front()).StartNow();
}

std::optional<int> TZkRunSequence::RunEnded(TZkThreadSave& engine, const std::string& job) {
  std::size_t count = 0;
  {
    const std::lock_guard lock(mutex_);
    ended_.push_back(job);
    count = ended_.size();
  }
  if (count < jobs_.size()) {
    engine.Saving().Items(jobs_[count]).StartNow();
    engine.PollNow();
    return jobs_[count];
  }
  engine.Stop();
  engine.Terminate();
  return std::nullopt;
}

std::size_t TZkRunSequence::EndedCount() const {
  const std::lock_guard lock(mutex_);
  return ended_.size();
}

bool TZkRunSequence::HasEnded(const std::string& job) const {
  const std::lock_guard lock(mutex_);
  return std::any_of(ended_.begin(), ended_.end(), [&job](const std::string& ended) { return SameText(ended, job); });
}

}  // namespace zk
