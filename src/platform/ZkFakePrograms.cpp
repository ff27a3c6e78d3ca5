#include "platform/ZkFakePrograms.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace zk::platform {

bool TZkFakePrograms::ShellOpen(const std::string& file, const std::string& parameters, const std::string& folder) {
  Calls.push_back("ShellOpen " + file + "|" + parameters + "|" + folder);
  return true;
}

bool TZkFakePrograms::RunAndWait(const std::string& program, const std::string& parameters,
                                 const std::string& folder, const TStopWaiting& stop) {
  Calls.push_back("RunAndWait " + program + "|" + parameters + "|" + folder);
  while (RunsUntilStopped && stop && !stop()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
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
