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
  bool RunAndWait(const std::string& program, const std::string& parameters, const std::string& folder) override;
  bool CloseWindowOfClass(const std::string& className) override;
  bool CloseWindowWithCaption(const std::string& caption) override;
};

}  // namespace zk::platform
