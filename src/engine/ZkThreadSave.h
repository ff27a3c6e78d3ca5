#pragma once
// The backup engine: it holds the job list, keeps it in the job file and
// (with its worker thread, which comes with the run pipeline) runs the jobs
// as they come due.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

  // Records. The log and error files shared by every run (empty: none),
  // and the history file (an INI file with one section per job).
  using TSaveComment = std::function<void(TZkThreadSave& sender, const std::string& comment)>;
  std::string LogFilename;
  std::string ErrorFilename;
  std::string HistoryFilename;
  TSaveComment OnLogEvent;
  TSaveComment OnErrorEvent;

  // One line to the shared log, the run's own log and OnLogEvent.
  virtual void Log(const std::string& text);
  // One line to the shared and the run's error file and OnErrorEvent, then
  // the same text to the log.
  virtual void Error(const std::string& text);

  // The run copy of the job being run; none between runs.
  TZkThreadActiveTask* ActiveTask() const { return activeTask_.get(); }
  void SetActiveTask(std::unique_ptr<TZkThreadActiveTask> task) { activeTask_ = std::move(task); }

  // The run's own log and error file names, as the run's output asks.
  static void PrepareRecordFiles(TZkThreadActiveTask& task);
  // After the run: copies of the run's log and error files beside the
  // archive (when it was built in a work folder) and the duplicate; the
  // work folder keeps none.
  static void FinishRecordFiles(const TZkThreadActiveTask& task);
  // The job's history entries, oldest first; the history file is created
  // when missing (a file that cannot be made is reported as an error).
  std::vector<std::string> ReadHistory(const TZkThreadActiveTask& task);
  // The archive path of the newest complete full run, if any.
  static std::optional<std::string> FindUpdateBase(const std::vector<std::string>& history);
  // "status;date;time;kind;path" for the run that ends now.
  static std::string HistoryEntry(const TZkThreadActiveTask& task, bool stopped, bool updateRun);
  // Writes the job's whole history back; a failure is not reported.
  void WriteHistory(const TZkThreadActiveTask& task, const std::vector<std::string>& history) const;

  const TPropList& Properties() const override { return ClassProperties(); }
  static const TPropList& ClassProperties();

private:
  void AppendLine(const std::string& fileName, const std::string& text) const;

  TZkThreadSaveTasks saving_;
  std::unique_ptr<TZkThreadActiveTask> activeTask_;
};

}  // namespace zk
