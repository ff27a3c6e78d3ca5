#pragma once
// The files the window program and the console program share: the job
// file, the INI file beside it (history and legacy jobs), and the log and
// error files in its folder.

#include <functional>
#include <optional>
#include <string>

namespace zk {

struct TZkProgramFiles {
  std::string JobFile;
  std::string IniFile;
  std::string LogFile;
  std::string ErrorFile;
};

// What the rule looks at besides the option: the program's folder, whether
// the user may write a folder, and the user's configuration folder.
struct TZkProgramPlace {
  std::string ProgramFolder;
  std::function<bool(const std::string& folder)> Writable;
  std::string ConfigFolder;
};

// The place of the running program: its executable's folder, the real
// permissions, $XDG_CONFIG_HOME or ~/.config.
TZkProgramPlace RunningProgramPlace();

// The job file given (made absolute); else "Backup.Xml" in the program's
// folder when it is there or the folder is writable (a portable copy);
// else "Backup.Xml" in the folder "backup" of the configuration folder,
// which is made when missing. The other files lie beside the job file.
TZkProgramFiles ResolveProgramFiles(const std::optional<std::string>& jobFile,
                                    const TZkProgramPlace& place = RunningProgramPlace());

}  // namespace zk
