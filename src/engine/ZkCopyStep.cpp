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
#include "platform/ZkFileMove.h"
#include "platform/ZkFileSystem.h"
#include "util/ZkUtilFile.h"

namespace zk {
namespace {

// A file's size and modification time; nothing for a missing entry or a
// folder.
std::optional<platform::FileInfo> FileState(const std::string& path) {
  auto info = platform::ReadFileInfo(path);
  if (!info || (info->Attr & platform::faDirectory) != 0) return std::nullopt;
  return info;
}

bool SameState(const std::optional<platform::FileInfo>& a, const std::optional<platform::FileInfo>& b) {
  return a && b && a->Size == b->Size && a->Modified == b->Modified;
}

// The first folder between `root` and `path` (below `root`, the file
// itself excluded) that is a symbolic link; empty when there is none.
std::string LinkOnTheWay(const std::string& root, const std::string& path) {
  const std::string top = StripBackslash(root);
  std::string folder = StripBackslash(FolderPart(path));
  std::string link;
  while (folder.size() > top.size() && folder.starts_with(top)) {
    if (platform::IsSymbolicLink(folder)) link = folder;
    folder = StripBackslash(FolderPart(folder));
  }
  return link;
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
        // A change within the 2-second step of the base's times shows in
        // the size.
        const bool taken = !run.UpdateRun || !SameState(FileState(JoinPath(baseFolder, relative)), FileState(file));
        if (taken) CopyOneFile(task, run, file, JoinPath(task.WorkFolder, relative), *relay);
        task.TotalPosition = task.ItemBase + task.ItemSize;
        DoAfterAddFile();
      } catch (const std::exception& e) {
        if (Interrupted()) {
          Error(e.what());
        } else {
          SourceError(run, e.what());
        }
      }
    }
  } catch (const std::exception& e) {
    Error(e.what());
  }
  run.Delivered = IsFolder(FolderPart(task.GetOutputPath()));
  Log("- Copy End -");
}

void TZkThreadSave::CopyOneFile(TZkThreadActiveTask& task, TRunState& run, const std::string& file,
                                const std::string& target, TZkThreadProcess& relay) {
  // A link on the way would take the copy out of the target tree; a folder
  // at the target (the file replaced a folder of that name) would take the
  // copy into itself. Either is left as it is.
  std::string link = LinkOnTheWay(task.WorkFolder, target);
  if (link.empty() && platform::IsSymbolicLink(target)) link = target;
  if (!link.empty()) throw EZkFileCreateError(FormatMessage("A cél szimbolikus link, nem írható felül (%s)", {link}));
  const auto existing = platform::ReadFileInfo(target);
  if (existing && (existing->Attr & platform::faDirectory) != 0)
    throw EZkFileCreateError(FormatMessage("A célhelyen mappa áll, a fájl nem másolható oda (%s)", {target}));
  const auto source = FileState(file);
  if (existing && !SameState(existing, source)) {
    Log("- Overwrite-" + file);
  } else {
    Log("- Copy -" + file);
    CreateFolderPath(target);
  }
  const std::string folder = FolderPart(target);
  if (run.CleanedFolders.insert(folder).second) platform::RemoveAtomicLeftovers(folder);
  CopyFileWithProgress(file, target, &relay);
  CheckUnchanged(file, source);
}

}  // namespace zk
