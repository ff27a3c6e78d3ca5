#include "engine/ZkProgramFiles.h"

#include <filesystem>

#include "engine/ZkThreadSave.h"
#include "platform/ZkCommandLine.h"
#include "platform/ZkFileSystem.h"
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
  if (!place.Installed && (FileExists(beside) || place.Writable(place.ProgramFolder))) return beside;
  const std::string jobFile = JoinPath(JoinPath(place.ConfigFolder, kConfigSubfolder), kJobFileName);
  // A folder that cannot be made fails the first write to it, which says
  // why; the rule itself has nothing to report.
  CreateFolderPath(jobFile);
  return jobFile;
}

}  // namespace

TZkProgramPlace RunningProgramPlace() {
  const std::string folder = FolderPart(platform::ExecutablePath());
  return {folder, platform::FolderWritable, platform::UserConfigFolder(), IsUnderPrefix(folder, ZK_INSTALL_PREFIX)};
}

bool IsUnderPrefix(const std::string& folder, const std::string& prefix) {
  if (prefix.empty()) return false;
  const std::filesystem::path tidy = std::filesystem::path(folder).lexically_normal();
  const std::filesystem::path root = std::filesystem::path(prefix).lexically_normal();
  const std::filesystem::path relative = tidy.lexically_relative(root);
  return !relative.empty() && *relative.begin() != "..";
}

bool CreateFirstJobFile(const TZkProgramFiles& files) {
  if (platform::PathExists(files.JobFile) || platform::PathExists(files.IniFile)) return false;
  WriteJobFile(files.JobFile, TZkThreadSaveTasks());
  return true;
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
