#pragma once
// A program launcher that records its calls and finds the windows a test
// names.

#include <string>
#include <vector>

#include "platform/ZkPrograms.h"

namespace zk::platform {

class TZkFakePrograms : public TZkProgramLauncher {
public:
  // "ShellOpen <file>|<parameters>|<folder>", "RunAndWait ...", "CloseClass
  // <name>", "CloseCaption <caption>", in call order.
  std::vector<std::string> Calls;
  std::vector<std::string> WindowClasses;
  std::vector<std::string> WindowCaptions;

  bool ShellOpen(const std::string& file, const std::string& parameters, const std::string& folder) override;
  // A program that runs until the wait is stopped (without a stop request:
  // ends at once).
  bool RunsUntilStopped = false;

  bool RunAndWait(const std::string& program, const std::string& parameters, const std::string& folder,
                  const TStopWaiting& stop) override;
  bool CloseWindowOfClass(const std::string& className) override;
  bool CloseWindowWithCaption(const std::string& caption) override;
};

}  // namespace zk::platform
