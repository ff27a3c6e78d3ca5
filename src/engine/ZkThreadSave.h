#pragma once
// The backup engine: it holds the job list, keeps it in the job file and
// (with its worker thread, which comes with the run pipeline) runs the jobs
// as they come due.

#include <string>

#include "engine/ZkActiveTask.h"
#include "engine/ZkJob.h"
#include "platform/ZkClock.h"
#include "store/Published.h"

namespace zk {

class TZkTreeData;

class TZkThreadSave : public TZkPersistent {
public:
  // The clock decides when schedule entries come due; the machine's unless
  // a test brings its own (which must outlive the engine).
  explicit TZkThreadSave(const platform::TZkClock& clock = platform::SystemClock());

  TZkThreadSaveTasks& Saving() { return saving_; }
  const TZkThreadSaveTasks& Saving() const { return saving_; }
  void SetSaving(const TZkThreadSaveTasks& jobs) { saving_.Assign(jobs); }
  const platform::TZkClock& Clock() const { return saving_.Clock(); }

  // The jobs of the document's "Saving" node; without one, the list stays.
  void LoadFromTree(const TZkTreeData& document);
  // Appends a "Saving" node holding the jobs to the document's root.
  void SaveToTree(TZkTreeData& document) const;
  // Reads the job file and recomputes every schedule entry. When the file
  // cannot be read the error is passed on and the job list stays as it was.
  void LoadFromFile(const std::string& path);
  // Writes the job file; its previous content stays when this fails.
  void SaveToFile(const std::string& path) const;

  const TPropList& Properties() const override { return ClassProperties(); }
  static const TPropList& ClassProperties();

private:
  TZkThreadSaveTasks saving_;
};

}  // namespace zk
