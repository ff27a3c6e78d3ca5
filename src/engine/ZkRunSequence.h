#pragma once
// Chosen jobs of an engine run one after the other, as the run window and
// the console program run them: the first is marked to start now; each end
// of a run, whichever job it was, marks the next; after the last the engine
// is stopped and terminated.

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace zk {

class TZkThreadSave;

class TZkRunSequence {
public:
  // The indexes of the jobs in the engine's list, in the order they run.
  explicit TZkRunSequence(std::vector<int> jobs);

  // Marks the first job; call before the engine starts.
  void Begin(TZkThreadSave& engine) const;
  // Called at the end of every run (on whichever thread handles it): marks
  // the next job, which an idle engine then picks at once, and returns its
  // index; or stops and terminates the engine after the last and returns
  // none.
  std::optional<int> RunEnded(TZkThreadSave& engine, const std::string& job);

  // From any thread.
  std::size_t EndedCount() const;
  bool Completed() const { return EndedCount() >= jobs_.size(); }
  // Whether a run of this job (by name, ignoring the case of A to Z) ended.
  bool HasEnded(const std::string& job) const;

private:
  const std::vector<int> jobs_;
  mutable std::mutex mutex_;
  std::vector<std::string> ended_;
};

}  // namespace zk
