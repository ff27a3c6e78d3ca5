#pragma once
// Programs and windows for the backup actions: opening a file the way the
// desktop does, running a program until it ends, and asking a top-level
// window to close. Every operation is silent: what cannot be done is simply
// not done, and the result only says whether it was.

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zk::platform {

class TZkProgramLauncher {
public:
  virtual ~TZkProgramLauncher() = default;
  // Opens a program, document or anything the desktop can open, with the
  // parameters and the working folder (empty = this program's); does not
  // wait for it.
  virtual bool ShellOpen(const std::string& file, const std::string& parameters, const std::string& folder) = 0;
  // Asked now and then while a program is waited for: true ends the wait.
  using TStopWaiting = std::function<bool()>;

  // Starts the program with the parameters, this program's environment and
  // the working folder (empty = this program's) and waits, without a time
  // limit, until it has ended, or until `stop` says so (the program then
  // goes on by itself). False when it could not be started.
  virtual bool RunAndWait(const std::string& program, const std::string& parameters, const std::string& folder,
                          const TStopWaiting& stop = {}) = 0;
  // Asks the first top-level window whose class (or caption) equals the
  // text to close; false when there is none.
  virtual bool CloseWindowOfClass(const std::string& className) = 0;
  virtual bool CloseWindowWithCaption(const std::string& caption) = 0;
};

// The desktop of this machine: posix_spawn and xdg-open, and the X display
// named by DISPLAY (no display: no window is ever found).
TZkProgramLauncher& DesktopPrograms();

// Parameters split into words as a Posix shell does, without any expansion:
// blanks and tabs separate words, '...' keeps everything, "..." keeps all but
// \ before " \ $ `, and \ outside quotes keeps the next character. A quote
// left open runs to the end of the text.
std::vector<std::string> SplitShellWords(const std::string& text);

}  // namespace zk::platform
