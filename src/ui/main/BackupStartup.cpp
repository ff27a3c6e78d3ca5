#include "ui/main/BackupStartup.h"

#include <optional>
#include <string_view>

#include "base/ZkError.h"

namespace zk::ui {
namespace {

constexpr std::string_view kJobsOption = "--jobs";

}  // namespace

TBackupStartup ParseBackupArguments(const std::vector<std::string>& arguments, const TZkProgramPlace& place) {
  TBackupStartup startup;
  std::optional<std::string> jobFile;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (i > 0 && argument == kJobsOption) {
      if (i + 1 >= arguments.size()) throw EZkError("A --jobs kapcsoló után hiányzik a fájl neve");
      jobFile = arguments[++i];
    } else if (i > 0 && argument.starts_with(std::string(kJobsOption) + "=")) {
      jobFile = argument.substr(kJobsOption.size() + 1);
    } else if (i > 0 && argument == "--no-throttle") {
      startup.Throttle = false;
    } else {
      startup.Arguments.push_back(argument);
    }
  }
  if (jobFile && jobFile->empty()) throw EZkError("A --jobs kapcsoló fájlneve üres");
  startup.Files = ResolveProgramFiles(jobFile, place);
  return startup;
}

}  // namespace zk::ui
