#pragma once
// The records of the runs: the log and error files shared by every run and
// each run's own, and the history that update runs read to find their base
// archive.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/ZkActiveTask.h"
#include "platform/ZkClock.h"
#include "store/zkIniFile.h"

namespace zk {

// How a run ended, as its history line says: "Ok" (everything it was to
// save reached the output), "Incomplete" (its backup reached the output,
// but it could not read every file or folder it was to save), "Stopped"
// (stopped, failed, or nothing delivered).
enum class TZkRunStatus { rsOk, rsIncomplete, rsStopped };

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

  // The run's own log and error file names, as the run's output asks. A
  // name with a symbolic link at it is left out and returned: nothing is
  // written through it.
  static std::vector<std::string> PrepareRecordFiles(TZkThreadActiveTask& task);
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
  // Every job's history entries, the file read in one pass, keyed by the
  // job name with A to Z in capitals (names match without their case);
  // the first section of a name counts, as for ReadJobHistory. A missing
  // file means no runs; a file that cannot be read fails with its error.
  using THistories = std::map<std::string, std::vector<std::string>>;
  static THistories ReadAllHistories(const std::string& historyFile);
  // Every job's last good upload (a one-value list), in the same way.
  static THistories ReadAllLastUploads(const std::string& historyFile);
  static std::string HistoryKey(const std::string& jobName);
  // The archive path of the newest complete full run, if any.
  static std::optional<std::string> FindUpdateBase(const std::vector<std::string>& history);
  // "status;date;time;kind;path" for the run that ends now; the path is the
  // output path unless the run's archive went to `archivePath`.
  static std::string HistoryEntry(const TZkThreadActiveTask& task, TZkRunStatus status, bool updateRun,
                                  const std::string& archivePath = {});
  // Writes the job's whole history back; a failure raises its file error.
  void WriteHistory(const TZkThreadActiveTask& task, const std::vector<std::string>& history) const;

  // The job's last good upload to its remote target, "yyyy.mm.dd;hh:pp;path"
  // under its own key beside the history (older files have none).
  void WriteLastUpload(const TZkThreadActiveTask& task, const std::string& remotePath) const;
  static std::string ReadLastUpload(const std::string& historyFile, const std::string& jobName);

private:
  static THistories ReadAllValues(const std::string& historyFile, const std::string& valueKey);
  void AppendLine(const std::string& fileName, const std::string& text, bool followLinks) const;

  const platform::TZkClock* clock_;
};

}  // namespace zk
