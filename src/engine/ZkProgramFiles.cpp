#include "engine/ZkProgramFiles.h"

#include <filesystem>

#include "platform/ZkCommandLine.h"
#include "platform/ZkUserFolders.h"
#include "util/ZkUtilFile.h"

namespace zk {
namespace {

constexpr const char* kJobFileName = "Backup.Xml";
constexpr const char* kIniExtension = ".Ini";
constexpr const char* kLogFileName = "Log.Txt";
constexpr const char* kErrorFileName = "Error.Txt";
constexpr const char* kConfigSubfolder = "backup";

std::string DefaultJobFile(const TZkProgramPlace& place) {
  const std::string beside = JoinPath(place.ProgramFolder, kJobFileName);
  if (FileExists(beside) || place.Writable(place.ProgramFolder)) return beside;
  const std::string jobFile = JoinPath(JoinPath(place.ConfigFolder, kConfigSubfolder), kJobFileName);
  // A folder that cannot be made fails the first write to it, which says
  // why; the rule itself has nothing to report.
  CreateFolderPath(jobFile);
  return jobFile;
}

}  // namespace

TZkProgramPlace RunningProgramPlace() {
  return {FolderPart(platform::ExecutablePath()), platform::FolderWritable, platform::UserConfigFolder()};
}

TZkProgramFiles ResolveProgramFiles(const std::optional<std::string>& jobFile, const TZkProgramPlace& place) {
  TZkProgramFiles files;
  files.JobFile =
      jobFile ? std::filesystem::absolute(*jobFile).lexically_normal().string() : DefaultJobFile(place);
  const std::string folder = FolderPart(files.JobFile);
  files.IniFile = ChangeFileExt(files.JobFile, kIniExtension);
  files.LogFile = JoinPath(folder, kLogFileName);
  files.ErrorFile = JoinPath(folder, kErrorFileName);
  return files;
}

}  // namespace zk
