// The copy step of a run: every file of the list copied as a tree under the
// work folder, by its path made relative; an update run copies only what is
// missing from the base tree or differs from it. Each copy takes its place
// only when complete, so a stopped or killed run leaves the previous copy.

#include <exception>
#include <optional>
#include <string>

#include "base/ZkError.h"
#include "engine/ZkEngineWaits.h"
#include "engine/ZkRunState.h"
#include "engine/ZkThreadSave.h"
#include "platform/ZkAtomicFile.h"
#include "platform/ZkFileSystem.h"
#include "util/ZkUtilFile.h"

namespace zk {
namespace {

// The modification time of a file; nothing for a missing entry or a folder.
std::optional<platform::FileTime> FileModified(const std::string& path) {
  const auto info = platform::ReadFileInfo(path);
  if (!info || (info->Attr & platform::faDirectory) != 0) return std::nullopt;
  return info->Modified;
}

}  // namespace

void TZkThreadSave::CopyStep(TZkThreadActiveTask& task, TRunState& run) {
  const std::string baseFolder = FolderPart(run.BasePath);
  if (run.UpdateRun && !IsFolder(baseFolder)) run.UpdateRun = false;
  const auto relay = CopyRelay(TCopyUse::ctFile);
  Log("- Copy -");
  try {
    task.TotalPosition = 0;
    for (const std::string& file : run.Files) {
      if (Interrupted()) continue;
      try {
        Wait(kItemWaitMs);
        task.ItemBase = task.TotalPosition;
        if (IsFolderItem(file)) {
          const std::string folder = JoinPath(task.WorkFolder, CopyModeRelativePath(file));
          if (!IsFolder(folder) && !CreateFolderPath(folder))
            throw EZkFileCreateError(FormatMessage("Létrehozási hiba (%s)", {folder}));
          DoAfterAddFile();
          continue;
        }
        BeginItem(task, file);
        const std::string relative = CopyModeRelativePath(file);
        const std::optional<platform::FileTime> modified = FileModified(file);
        bool taken = !run.UpdateRun;
        if (!taken) {
          const auto inBase = FileModified(JoinPath(baseFolder, relative));
          taken = !inBase || inBase != modified;
        }
        if (taken) {
          const std::string target = JoinPath(task.WorkFolder, relative);
          const auto existing = FileModified(target);
          if (existing && existing != modified) {
            Log("- Overwrite-" + file);
          } else {
            Log("- Copy -" + file);
            CreateFolderPath(target);
          }
          const std::string folder = FolderPart(target);
          if (run.CleanedFolders.insert(folder).second) platform::RemoveAtomicLeftovers(folder);
          CopyFileWithProgress(file, target, relay.get());
        }
        task.TotalPosition = task.ItemBase + task.ItemSize;
        DoAfterAddFile();
      } catch (const std::exception& e) {
        Error(e.what());
      }
    }
  } catch (const std::exception& e) {
    Error(e.what());
  }
  Log("- Copy End -");
}

}  // namespace zk
