#include "CliFiles.h"

#include <cstdio>
#include <filesystem>

#include "base/ZkError.h"
#include "engine/ZkThreadSave.h"
#include "platform/ZkCommandLine.h"
#include "util/ZkUtilFile.h"

namespace zk::cli {
namespace {

constexpr const char* kDefaultJobFileName = "Backup.Xml";
constexpr const char* kIniExtension = ".Ini";
constexpr const char* kLogFileName = "Log.Txt";
constexpr const char* kErrorFileName = "Error.Txt";

}  // namespace

TCliFiles ResolveFiles(const std::optional<std::string>& jobFile) {
  TCliFiles files;
  files.JobFile = jobFile ? std::filesystem::absolute(*jobFile).lexically_normal().string()
                          : JoinPath(FolderPart(platform::ExecutablePath()), kDefaultJobFileName);
  const std::string folder = FolderPart(files.JobFile);
  files.IniFile = ChangeFileExt(files.JobFile, kIniExtension);
  files.LogFile = JoinPath(folder, kLogFileName);
  files.ErrorFile = JoinPath(folder, kErrorFileName);
  return files;
}

bool LoadJobList(const std::string& path, TZkThreadSaveTasks& jobs) {
  try {
    ReadJobFile(path, jobs);
    return true;
  } catch (const EZkError& error) {
    std::fprintf(stderr, "A mentésfájl nem tölthető be: %s\n", error.what());
    return false;
  }
}

}  // namespace zk::cli
