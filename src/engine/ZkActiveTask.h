#pragma once
// The run copy of a job: the job as it was when its run began, the run's
// fields that every engine event hands on, and the paths the run writes to.

#include <cstdint>
#include <string>
#include <string_view>

#include "base/ZkDateTime.h"
#include "engine/ZkJob.h"
#include "util/ZkUtilFile.h"

namespace zk {

class TZkThreadActiveTask : public TZkThreadSaveTask {
public:
  // Run fields.
  std::int32_t TimerIndex = -1;  // the entry that started the run, -1 by hand
  TDateTime StartTime = 0;       // local time of day
  TDateTime StartDate = 0;       // local date at 00:00
  std::string WorkPath;
  std::string WorkFolder;
  std::string TargetPath;
  std::string LogFile;
  std::string ErrorFile;
  std::string ItemName;
  std::int64_t ItemSize = 0;
  std::int64_t ItemPosition = 0;
  std::int64_t ItemBase = 0;
  std::int64_t TotalSize = 0;
  std::int64_t TotalPosition = 0;
  std::int64_t TotalFiles = 0;  // the files collected for the run
  // The run makes up for a schedule moment that passed while no engine ran.
  bool CatchUp = false;
  // The error line of the archive's upload to the remote target when it
  // did not go; empty when it went or the run had none to make.
  std::string UploadFailure;

  // Paths are built in `style` (native unless a test asks for the other).
  explicit TZkThreadActiveTask(PathStyle style = kNativePathStyle) : style_(style) {}

  // The output definition that governs the run: the firing entry's own when
  // it asks for it (ExtendedSaving), otherwise the job's.
  const TZkThreadDefineOutput& ActiveOutput() const;
  bool UsesWorkFolder() const { return !ActiveOutput().Temp.empty(); }
  // Whether a zip run builds its archive elsewhere than at its output path
  // (a work folder that is the output folder builds it in place).
  bool BuildsInWorkFolder() const;
  bool UsesDuplicate() const { return !ActiveOutput().DuplicateFolder.empty(); }
  bool WantsLog() const { return ActiveOutput().CreateLogFile; }
  bool WantsErrorFile() const { return ActiveOutput().CreateErrorFile; }

  // The archive path in `folder` (the default target folder when empty),
  // with the folder and name decorations of the active output; the folder's
  // date and time decorations only when `withFolderDateTime`.
  std::string BuildArchivePath(const std::string& folder, bool withFolderDateTime) const;
  // Where the archive ends up.
  std::string GetOutputPath() const;
  // Where it is built: the work folder's path in a zip run that has one,
  // otherwise the output path.
  std::string GetWorkPath() const;
  // The duplicate's path; empty without a duplicate folder.
  std::string GetDuplicatePath() const;
  // The name the archive is named after: the output's file name, or the
  // job's name (with the firing entry's) when it has none.
  std::string ArchiveBaseName() const { return BaseName(ActiveOutput().FileName); }
  // A path with its extension replaced, in this run's path style (".Log").
  std::string WithExtension(const std::string& path, const std::string& extension) const;

private:
  std::string BaseName(const std::string& fileName) const;
  std::string FolderText(const std::string& folder) const;

  PathStyle style_;
};

// Where copy mode puts a file below its target folder. Windows: every ":\"
// and then every other ":" becomes "\" ('C:\Data\a.txt' gives
// 'C\Data\a.txt'). Posix: the path without its leading "/".
std::string CopyModeRelativePath(std::string_view path, PathStyle style = kNativePathStyle);

// The target folder of a job without one: "c:\mentes" in Windows style, the
// folder "mentes" in the user's home folder on Posix.
std::string DefaultTargetFolder(PathStyle style);

}  // namespace zk
