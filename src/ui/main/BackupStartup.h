#pragma once
// The window program's command line: where its files are (as the console
// program finds them) and the switches the main window reads at start.

#include <string>
#include <vector>

#include "engine/ZkProgramFiles.h"

namespace zk::ui {

struct TBackupStartup {
  TZkProgramFiles Files;
  // The arguments left for the switches (/Group, /start), element 0 the
  // program; the options taken here are not among them, so that a job file
  // named "/startup.xml" is no switch.
  std::vector<std::string> Arguments;
  // --no-throttle clears it: runs go without the waits per folder, file and
  // progress report.
  bool Throttle = true;
  // The executable whose version the window shows; empty: the running one.
  std::string ExecutableFile;
};

// Takes "--jobs FILE" (or "--jobs=FILE") and "--no-throttle" out of the
// arguments (element 0 the program) and resolves the files. A "--jobs"
// without a file name fails with the reason.
TBackupStartup ParseBackupArguments(const std::vector<std::string>& arguments,
                                    const TZkProgramPlace& place = RunningProgramPlace());

}  // namespace zk::ui
