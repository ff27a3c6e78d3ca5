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
// the user may write a folder, the user's configuration folder, and whether
// the program is an installed one.
struct TZkProgramPlace {
  std::string ProgramFolder;
  std::function<bool(const std::string& folder)> Writable;
  std::string ConfigFolder;
  bool Installed = false;
};

// The place of the running program: its executable's folder, the real
// permissions, $XDG_CONFIG_HOME or ~/.config; installed when its folder
// lies under the install prefix the build was configured for.
TZkProgramPlace RunningProgramPlace();

// Whether `folder` lies under `prefix` (or is it), compared by path
// elements; an empty prefix holds nothing.
bool IsUnderPrefix(const std::string& folder, const std::string& prefix);

// The job file given (made absolute); else "Backup.Xml" in the program's
// folder when it is there or the folder is writable (a portable copy), but
// never for an installed program; else "Backup.Xml" in the folder "backup"
// of the configuration folder, which is made when missing. The other files
// lie beside the job file.
TZkProgramFiles ResolveProgramFiles(const std::optional<std::string>& jobFile,
                                    const TZkProgramPlace& place = RunningProgramPlace());

// The first start: when neither the job file nor the INI file beside it
// (whose legacy jobs would be imported) exists, writes the job file as an
// empty job list, atomically. True when it did; a write that fails throws
// the file error.
bool CreateFirstJobFile(const TZkProgramFiles& files);

}  // namespace zk
