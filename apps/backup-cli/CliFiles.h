#pragma once
// The files the console program shares with the window program: the job
// file, the INI file beside it (history and legacy jobs), and the shared
// log and error files in the job file's folder.

#include <optional>
#include <string>

#include "engine/ZkJob.h"

namespace zk::cli {

struct TCliFiles {
  std::string JobFile;
  std::string IniFile;
  std::string LogFile;
  std::string ErrorFile;
};

// For the job file given (made absolute), or without one for "Backup.Xml"
// in the folder of the running executable.
TCliFiles ResolveFiles(const std::optional<std::string>& jobFile);

// Reads the jobs of the job file into the list and gives every schedule
// entry its next due moment, as the engine's load does. On failure says why
// on the standard error and returns false; the file is left as it is. No
// engine is made for this: destroying one that never ran makes a pass of
// its loop, which would run a due job.
bool LoadJobList(const std::string& path, TZkThreadSaveTasks& jobs);

}  // namespace zk::cli
