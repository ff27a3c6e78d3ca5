#include "platform/ZkFakePrograms.h"

#include <algorithm>

namespace zk::platform {

bool TZkFakePrograms::ShellOpen(const std::string& file, const std::string& parameters, const std::string& folder) {
  Calls.push_back("ShellOpen " + file + "|" + parameters + "|" + folder);
  return true;
}

bool TZkFakePrograms::RunAndWait(const std::string& program, const std::string& parameters,
                                 const std::string& folder) {
  Calls.push_back("RunAndWait " + program + "|" + parameters + "|" + folder);
  return true;
}

bool TZkFakePrograms::CloseWindowOfClass(const std::string& className) {
  Calls.push_back("CloseClass " + className);
  return std::find(WindowClasses.begin(), WindowClasses.end(), className) != WindowClasses.end();
}

bool TZkFakePrograms::CloseWindowWithCaption(const std::string& caption) {
  Calls.push_back("CloseCaption " + caption);
  return std::find(WindowCaptions.begin(), WindowCaptions.end(), caption) != WindowCaptions.end();
}

}  // namespace zk::platform
