#include "engine/ZkRemote.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <system_error>

#include "base/ZkError.h"
#include "platform/ZkFileSystem.h"
#include "util/ZkUtil.h"
#include "util/ZkUtilFile.h"

namespace zk {
namespace {

constexpr const char* kPartMark = ".part-";

}  // namespace

std::string RemotePathOf(const TZkThreadDefineOutput& output, const std::string& localPath) {
  std::string name = FileNamePart(localPath);
  if (output.OutputFolderDate || output.OutputFolderTime || output.OutputFolderWeekDay || output.OutputFolderMonthDay)
    name = FileNamePart(StripBackslash(FolderPart(localPath))) + "/" + name;
  return platform::RemoteJoin(output.RemoteTarget, name);
}

std::string RemoteTemporaryName(const std::string& finalName) {
  std::random_device device;
  const auto random = static_cast<unsigned long>(device()) & 0xffffffUL;
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, "%ld-%06lx", static_cast<long>(getpid()), random);
  return finalName + kPartMark + suffix;
}

bool IsRemoteTemporaryOf(const std::string& name, const std::string& finalName) {
  return name.size() > finalName.size() + 6 && name.starts_with(finalName + kPartMark);
}

TZkFetchedArchives::~TZkFetchedArchives() {
  if (folder_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

std::vector<std::string> TZkFetchedArchives::ArchivesOf(const TZkRunRecord& run, const TZkThreadDefineOutput& output,
                                                        platform::TZkRemoteStore& store, const std::string& workFolder,
                                                        const std::function<void(const std::string&)>& report,
                                                        const platform::TZkRemoteStore::TStop& stop,
                                                        const platform::TZkRemoteStore::TProgress& progress) {
  std::vector<std::string> archives;
  for (const std::string& path : ArchivesOfRun(run)) {
    if (platform::PathExists(path) || output.RemoteTarget.empty()) {
      archives.push_back(path);
      continue;
    }
    if (folder_.empty()) {
      std::string base = workFolder.empty() ? std::filesystem::temp_directory_path().string() : workFolder;
      std::filesystem::create_directories(base);
      std::string pattern = platform::RemoteJoin(base, ".backup-fetch-XXXXXX");
      if (mkdtemp(pattern.data()) == nullptr) throw EZkFileCreateError(FormatMessage("Létrehozási hiba (%s)", {base}));
      folder_ = pattern;
    }
    const std::string remote = RemotePathOf(output, path);
    const std::string local = folder_ + "/" + std::to_string(archives.size()) + "-" + FileNamePart(path);
    if (report) report("Letöltés a távoli másolatból: " + remote);
    const platform::TZkRemoteOutcome outcome = store.Fetch(remote, local, stop, progress);
    if (outcome.Result == platform::TZkRemoteResult::rrMissing)
      throw EZkError("Az rclone nincs telepítve; a távoli másolat nem érhető el");
    if (outcome.Result == platform::TZkRemoteResult::rrStopped)
      throw EZkError(FormatMessage("A letöltés megszakadt (%s)", {remote}));
    if (!outcome.Ok() || !platform::PathExists(local))
      throw EZkError(FormatMessage("Letöltési hiba (%s): %s", {remote, outcome.Message}));
    archives.push_back(local);
  }
  return archives;
}

}  // namespace zk
