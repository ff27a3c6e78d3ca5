// The remote copy of a run: the complete archive uploaded to the job's
// remote target through rclone, the run's log and error files beside it, and
// the remote copies of the archives retention no longer keeps.
//
// An upload goes to a temporary name and is moved to the final name only
// when it is all there, so a failed, stopped or killed upload leaves the
// remote's previous archive as it was. The local archive is never touched.

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/ZkError.h"
#include "engine/ZkRemote.h"
#include "engine/ZkRetention.h"
#include "engine/ZkRunState.h"
#include "engine/ZkThreadSave.h"
#include "platform/ZkFileHandle.h"
#include "platform/ZkFileSystem.h"
#include "util/ZkUtilFile.h"

namespace zk {
namespace {

// The remote folder of a remote path and the name in it.
std::string RemoteFolderOf(const std::string& remote) {
  const std::size_t slash = remote.rfind('/');
  if (slash != std::string::npos) return remote.substr(0, slash);
  const std::size_t colon = remote.find(':');
  return colon == std::string::npos ? std::string() : remote.substr(0, colon + 1);
}

std::string RemoteNameOf(const std::string& remote) {
  const std::string folder = RemoteFolderOf(remote);
  return remote.substr(folder.size() + (folder.empty() || folder.back() == ':' ? 0 : 1));
}

}  // namespace

std::string TZkThreadSave::RemoteFailure(const std::string& remote, const platform::TZkRemoteOutcome& outcome) {
  std::string line;
  switch (outcome.Result) {
    case platform::TZkRemoteResult::rrMissing:
      line = FormatMessage("Az rclone nincs telepítve; a távoli másolat elmaradt, a helyi archívum megmaradt (%s)",
                           {remote});
      break;
    case platform::TZkRemoteResult::rrStopped:
      line = FormatMessage("A feltöltés megszakadt; a távoli előző archívum a helyén maradt (%s)", {remote});
      break;
    case platform::TZkRemoteResult::rrFailed:
      line = FormatMessage("Feltöltési hiba (%s): %s", {remote, outcome.Message});
      break;
    case platform::TZkRemoteResult::rrOk:
      return line;
  }
  Error(line);
  return line;
}

std::string TZkThreadSave::UploadFile(TZkThreadActiveTask& task, const std::string& local,
                                      const std::string& remote, bool report) {
  const std::string temporary = RemoteTemporaryName(remote);
  const auto progress = [this, &task, report](std::int64_t done, std::int64_t) {
    if (!report || done < 0) return;
    task.ItemPosition = done;
    DoActionCopy();
  };
  platform::TZkRemoteOutcome outcome = remote_->CopyTo(local, temporary, [this] { return Interrupted(); }, progress);
  if (outcome.Ok()) outcome = remote_->MoveTo(temporary, remote);
  return RemoteFailure(remote, outcome);
}

void TZkThreadSave::UploadToRemote(TZkThreadActiveTask& task, TRunState& run) {
  const std::string local = task.GetOutputPath();
  const std::string remote = RemotePathOf(task.ActiveOutput(), local);
  try {
    BeginItem(task, local);
    task.TargetPath = remote;
    task.TotalSize = task.ItemSize;
    Log("- Remote Upload -" + remote);
    // Temporary names of uploads that never ended: only this archive's.
    std::vector<std::string> names;
    const platform::TZkRemoteOutcome listed =
        remote_->ListFiles(RemoteFolderOf(remote), names, [this] { return Interrupted(); });
    if (!listed.Ok()) {
      task.UploadFailure = RemoteFailure(remote, listed);
      return;
    }
    for (const std::string& name : names) {
      if (!IsRemoteTemporaryOf(name, RemoteNameOf(remote))) continue;
      const std::string leftover = platform::RemoteJoin(RemoteFolderOf(remote), name);
      const platform::TZkRemoteOutcome removed = remote_->DeleteFile(leftover);
      if (removed.Ok())
        Log("- Remote Leftover Removed -" + leftover);
      else
        Error(FormatMessage("Távoli törlési hiba (%s): %s", {leftover, removed.Message}));
    }
    DoBeforeCopy();
    task.UploadFailure = UploadFile(task, local, remote, true);
    if (!task.UploadFailure.empty()) return;
    DoAfterCopy();
    run.Uploaded = true;
    Log("- Remote Upload End -" + remote);
  } catch (const std::exception& e) {
    Error(e.what());
    task.UploadFailure = e.what();
  }
}

void TZkThreadSave::UploadRecords(TZkThreadActiveTask& task) {
  const std::pair<const std::string*, const char*> records[] = {{&task.LogFile, ".Log"}, {&task.ErrorFile, ".Err"}};
  for (const auto& [record, extension] : records) {
    if (record->empty() || !platform::PathExists(*record)) continue;
    const std::string beside = task.WithExtension(task.GetOutputPath(), extension);
    UploadFile(task, *record, RemotePathOf(task.ActiveOutput(), beside), false);
  }
}

void TZkThreadSave::PruneRemote(TZkThreadActiveTask& task, const std::vector<std::string>& history) {
  const TZkThreadDefineOutput& output = task.ActiveOutput();
  const bool dated = output.FileNameDate || output.FileNameTime || output.OutputFolderDate || output.OutputFolderTime;
  if (!dated) return;
  // One listing per remote folder: only copies that are there are deleted.
  std::set<std::string> listedFolders;
  std::set<std::string> present;
  for (const TZkRunRecord& old : RunsToPrune(history, output.KeepCount)) {
    const std::string remote = RemotePathOf(output, old.Path);
    const std::string folder = RemoteFolderOf(remote);
    if (listedFolders.insert(folder).second) {
      std::vector<std::string> names;
      const platform::TZkRemoteOutcome listed = remote_->ListFiles(folder, names, {});
      if (!listed.Ok()) {
        Error(FormatMessage("Távoli törlési hiba (%s): %s", {folder, listed.Message}));
        continue;
      }
      for (const std::string& name : names) present.insert(platform::RemoteJoin(folder, name));
    }
    if (!present.contains(remote)) continue;
    const platform::TZkRemoteOutcome removed = remote_->DeleteFile(remote);
    if (removed.Ok())
      Log("- Remote Prune -" + remote);
    else
      Error(FormatMessage("Távoli törlési hiba (%s): %s", {remote, removed.Message}));
  }
}

}  // namespace zk
