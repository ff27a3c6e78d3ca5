// The zip step of a run: the file list packed into the archive at the work
// path (a full run, an update of that archive in place, or a differential
// archive against the base of an update run), then the copies to the output
// path and to the duplicate path.

#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "engine/ZkRunState.h"
#include "engine/ZkThreadSave.h"
#include "platform/ZkFileSystem.h"
#include "util/ZkError.h"
#include "util/ZkUtilFile.h"
#include "zip/ZkZip.h"

namespace zk {
namespace {

// After each file of the list, and before each compression report.
constexpr int kItemWaitMs = 100;

bool FileExists(const std::string& path) {
  const auto info = platform::ReadFileInfo(path);
  return info.has_value() && (info->Attr & platform::faDirectory) == 0;
}

// The base archive of an update run, or null when the run must be a full
// run: the base is missing, would be replaced by the archive this run builds
// in its work folder, or cannot be opened.
std::unique_ptr<TZkZip> OpenBase(const TZkThreadActiveTask& task, const std::string& basePath) {
  if (!FileExists(basePath)) return nullptr;
  if (task.UsesWorkFolder() && basePath == task.GetOutputPath()) return nullptr;
  try {
    auto base = std::make_unique<TZkZip>();
    base->SetSaveDriveName(true);
    base->SetFileName(basePath);
    base->OpenArchive(basePath);
    base->SetActive(true);
    if (base->Active()) return base;
  } catch (const std::exception&) {
    // An unusable base only means that everything is packed again.
  }
  return nullptr;
}

}  // namespace

void TZkThreadSave::ZipStep(TZkThreadActiveTask& task, TRunState& run) {
  std::unique_ptr<TZkZip> base;
  if (run.UpdateRun) {
    base = OpenBase(task, run.BasePath);
    if (!base) run.UpdateRun = false;
  }
  try {
    ZipArchiveBody(task, run, base.get());
  } catch (const std::exception& e) {
    Error(e.what());
  }
}

void TZkThreadSave::ZipArchiveBody(TZkThreadActiveTask& task, TRunState& run, const TZkZip* base) {
  TZkZip zip;
  zip.OnCompressFile = [this](TZkZip&, std::int64_t current, std::int64_t) { CompressProgress(current); };
  zip.SetSaveDriveName(true);

  task.TargetPath = task.WithExtension(task.WorkPath, ".Zip");
  task.TotalPosition = 0;
  task.WorkPath = task.TargetPath;
  if (run.UpdateRun && FileExists(task.WorkPath)) {
    Log("- Zip open by updated -");
  } else {
    Log("- Zip Create -");
    if (task.WorkPath == task.GetOutputPath()) run.WroteOutput = true;
    zip.CreateArchive(task.WorkPath);
    Log(run.UpdateRun ? "- Zip Created - (" + task.WorkPath + ") From Update (" + run.BasePath
                      : "- Zip Created -" + task.WorkPath);
  }
  zip.OpenArchive(task.WorkPath);
  zip.SetActive(true);
  // The directory is written once, after the last file.
  zip.BeginUpdate();
  for (const std::string& file : run.Files) {
    if (Interrupted()) continue;
    try {
      task.ItemBase = task.TotalPosition;
      BeginItem(task, file);
      if (!run.UpdateRun || base->NeedsUpdate(file)) {
        if (zip.IsChangedFile(file))
          Log("- Zip Update -" + file);
        else if (run.UpdateRun)
          Log((base->IsNewFile(file) ? "- Zip Add New File -" : "- Zip Add Modified File -") + file);
        else
          Log("- Zip Add -" + file);
        DoBeforeAddFile();
        zip.AddFile(file);
      }
      task.TotalPosition = task.ItemBase + task.ItemSize;
      DoAfterAddFile();
      Wait(kItemWaitMs);
    } catch (const std::exception& e) {
      Error(e.what());
    }
  }
  zip.EndUpdate();
  zip.CloseArchive();
  zip.SetActive(false);
  task.TotalPosition = 0;
  zip.SetFileName("");

  if (!Interrupted() && task.UsesWorkFolder()) CopyArchive(task, run, TCopyUse::ctArchive);
  if (!Interrupted() && task.UsesDuplicate()) CopyArchive(task, run, TCopyUse::ctDuplicate);
  if (task.UsesWorkFolder()) std::remove(task.WorkPath.c_str());
  Log("- Zip Close -");
}

void TZkThreadSave::CopyArchive(TZkThreadActiveTask& task, TRunState& run, TCopyUse use) {
  const bool duplicate = use == TCopyUse::ctDuplicate;
  try {
    BeginItem(task, task.WorkPath);
    const std::string target = duplicate ? task.GetDuplicatePath() : task.GetOutputPath();
    task.TargetPath = target;
    task.TotalSize = task.ItemSize;
    Log((duplicate ? "- Duplicate -" : "- Zip copy in temp -") + target);
    CreateFolderPath(target);
    const auto relay = CopyRelay(use);
    (duplicate ? run.WroteDuplicate : run.WroteOutput) = true;
    CopyFileWithProgress(task.WorkPath, target, relay.get());
    duplicate ? DoAfterDuplicate() : DoAfterCopy();
  } catch (const std::exception& e) {
    Error(e.what());
  }
}

void TZkThreadSave::CompressProgress(std::int64_t current) {
  Wait(kItemWaitMs);
  TZkThreadActiveTask& task = *activeTask_;
  task.ItemPosition = current;
  task.TotalPosition = task.ItemBase + current;
  DoActionAddFile();
  // Ends the add; the archive keeps its previous entries.
  if (Interrupted()) throw EZkError("Stopped In compression");
}

}  // namespace zk
