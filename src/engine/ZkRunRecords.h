#pragma once
// The records of the runs: the log and error files shared by every run and
// each run's own, and the history that update runs read to find their base
// archive.

#include <optional>
#include <string>
#include <vector>

#include "engine/ZkActiveTask.h"
#include "platform/ZkClock.h"
#include "store/zkIniFile.h"

namespace zk {

class TZkRunRecords {
public:
  // The clock stamps every log and error line; it must outlive the records.
  explicit TZkRunRecords(const platform::TZkClock& clock) : clock_(&clock) {}

  // The log and error files shared by every run (empty: none), and the
  // history file (an INI file with one section per job).
  std::string LogFilename;
  std::string ErrorFilename;
  std::string HistoryFilename;

  // One stamped line to the shared log and, with a run, to its own log.
  void WriteLog(const std::string& text, const TZkThreadActiveTask* task) const;
  // One stamped line to the shared and, with a run, to its own error file.
  void WriteError(const std::string& text, const TZkThreadActiveTask* task) const;

  // The run's own log and error file names, as the run's output asks.
  static void PrepareRecordFiles(TZkThreadActiveTask& task);
  // After the run: copies of the run's log and error files beside the
  // archive (when it was built in a work folder) and the duplicate; the
  // work folder keeps none. A copy that fails raises its file error (the run
  // reports it and skips the rest of its wrap-up).
  static void FinishRecordFiles(const TZkThreadActiveTask& task);
  // The job's history entries, oldest first; the history file is created
  // when missing (a file that cannot be made goes to `report`).
  std::vector<std::string> ReadHistory(const TZkThreadActiveTask& task, TZkIniFile::TReport report) const;
  // The history entries of the job named so in a history file, oldest
  // first, for readers that only look: a missing file means no runs and is
  // not created.
  static std::vector<std::string> ReadJobHistory(const std::string& historyFile, const std::string& jobName);
  // The archive path of the newest complete full run, if any.
  static std::optional<std::string> FindUpdateBase(const std::vector<std::string>& history);
  // "status;date;time;kind;path" for the run that ends now: "Ok" when `ok`
  // (the run was not stopped and its backup reached the output path),
  // "Stopped" otherwise.
  static std::string HistoryEntry(const TZkThreadActiveTask& task, bool ok, bool updateRun);
  // Writes the job's whole history back; a failure is not reported.
  void WriteHistory(const TZkThreadActiveTask& task, const std::vector<std::string>& history) const;

private:
  void AppendLine(const std::string& fileName, const std::string& text) const;

  const platform::TZkClock* clock_;
};

}  // namespace zk
