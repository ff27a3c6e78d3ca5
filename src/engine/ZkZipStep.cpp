// The zip step of a run: the file list packed into the archive at the work
// path (a full run, an update of that archive, or a differential archive
// against the base of an update run), then the copies to the output path
// and to the duplicate path.
//
// Every archive is written under a temporary name beside its final path and
// takes that path only when it is complete, so a run that is stopped, fails
// or is killed leaves the previous archive as it was. An update of an
// archive builds the updated one beside it from the entries that stay.

#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/ZkError.h"
#include "engine/ZkEngineWaits.h"
#include "engine/ZkRunState.h"
#include "engine/ZkThreadSave.h"
#include "platform/ZkAtomicFile.h"
#include "platform/ZkFileSystem.h"
#include "util/ZkUtilFile.h"
#include "zip/ZkZip.h"
#include "zip/ZkZipRead.h"

namespace zk {
namespace {

// An existing archive opened for reading its entries; null when it is no
// readable archive.
std::unique_ptr<TZkZip> OpenExisting(const std::string& path) {
  auto zip = std::make_unique<TZkZip>();
  zip->SetSaveDriveName(true);
  zip->SetFileName(path);
  zip->OpenArchive(path);
  if (!zip->Active()) return nullptr;
  return zip;
}

// The base archive of an update run, or null when the run must be a full
// run: the base is missing, would be replaced by the archive this run builds
// in its work folder, or cannot be opened.
std::unique_ptr<TZkZip> OpenBase(const TZkThreadActiveTask& task, const std::string& basePath) {
  if (!FileExists(basePath)) return nullptr;
  if (task.BuildsInWorkFolder() && basePath == task.GetOutputPath()) return nullptr;
  try {
    return OpenExisting(basePath);
  } catch (const std::exception&) {
    // An unusable base only means that everything is packed again.
  }
  return nullptr;
}

// Where an archive of the run goes instead of `path`: there, unless the run
// could not read everything and a previous archive stands at `path`. That
// one may hold what this run missed, so the new one goes beside it.
std::string DeliveryPath(const TZkThreadActiveTask& task, const std::string& path, int sourceErrors) {
  if (sourceErrors == 0 || !platform::PathExists(path)) return path;
  return task.WithExtension(path, " (hiányos).Zip");
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
  zip.SetThreads(Threads);

  task.TargetPath = task.WithExtension(task.WorkPath, ".Zip");
  task.TotalPosition = 0;
  task.WorkPath = task.TargetPath;
  platform::RemoveAtomicLeftovers(FolderPart(task.WorkPath));
  // An update into an archive that is there already keeps its entries.
  std::unique_ptr<TZkZip> previous;
  if (run.UpdateRun && FileExists(task.WorkPath)) {
    Log("- Zip open by updated -");
    previous = OpenExisting(task.WorkPath);
    if (!previous) throw EZkFileOpenError(FormatMessage("Megnyitási hiba (%s)", {task.WorkPath}));
    zip.BeginArchive(task.WorkPath);
  } else {
    Log("- Zip Create -");
    zip.BeginArchive(task.WorkPath);
    Log(run.UpdateRun ? "- Zip Created - (" + task.WorkPath + ") From Update (" + run.BasePath
                      : "- Zip Created -" + task.WorkPath);
  }
  // The directory is written once, after the last file.
  zip.BeginUpdate();
  PackFiles(task, run, zip, base, previous.get());
  zip.EndUpdate();
  const bool complete = !Interrupted() && (!task.ActiveOutput().VerifyArchive || VerifyNewArchive(zip));
  // Uncommitted, the new archive is discarded and the previous one stays.
  if (complete) {
    const std::string at =
        task.BuildsInWorkFolder() ? task.WorkPath : DeliveryPath(task, task.WorkPath, run.SourceErrors);
    zip.CommitArchive(at);
    if (at != task.WorkPath) KeptBeside(run, at);
  }
  zip.CloseArchive();
  task.TotalPosition = 0;
  zip.SetFileName("");

  if (complete) DeliverArchive(task, run);
  if (complete && run.Delivered && run.SourceErrors == 0 && !Interrupted() &&
      !task.ActiveOutput().RemoteTarget.empty())
    UploadToRemote(task, run);
  Log("- Zip Close -");
}

void TZkThreadSave::KeptBeside(TRunState& run, const std::string& path) {
  run.DeliveredPath = path;
  Error(FormatMessage("A mentés hiányos, az előző archívum a helyén maradt; az új: %s", {path}));
}

bool TZkThreadSave::VerifyNewArchive(TZkZip& zip) {
  Log("- Zip Verify -");
  try {
    const std::vector<std::string> bad = VerifyArchiveEntries(zip.NewArchivePath());
    for (const std::string& entry : bad) Error("Hibás bejegyzés: " + entry);
    if (bad.empty()) {
      Log("- Zip Verify Ok -");
      return true;
    }
  } catch (const EZkZipArchiveError&) {
    // Named by its final path, as every log line names it.
    Error(FormatMessage("Nem olvasható zip archívum (%s)", {zip.FileName()}));
  } catch (const std::exception& e) {
    Error(e.what());
  }
  // The previous archive stays; the new one is discarded uncommitted.
  Log("- Zip Verify Failed -");
  return false;
}

void TZkThreadSave::PackFiles(TZkThreadActiveTask& task, TRunState& run, TZkZip& zip, const TZkZip* base,
                              TZkZip* previous) {
  // The entry of the previous archive that each file of the list replaces
  // (-1: none); every other entry is taken over as it is. A file whose
  // entry there is damaged is packed again whether it changed or not.
  std::vector<int> replaced(run.Files.size(), -1);
  std::vector<bool> repack(run.Files.size(), false);
  std::vector<bool> kept;
  std::unordered_map<int, std::size_t> fileOfEntry;
  if (previous != nullptr) {
    kept.assign(static_cast<std::size_t>(previous->Entries().Count()), true);
    for (std::size_t i = 0; i < run.Files.size(); ++i) {
      try {
        const int entry = previous->Entries().IndexOfName(run.Files[i]);
        if (entry >= 0) fileOfEntry.emplace(entry, i);
        if (!run.UpdateRun || base->NeedsUpdate(run.Files[i])) replaced[i] = entry;
      } catch (const std::exception&) {
        // A file that cannot be compared now keeps its entry; the file's own
        // step reports it.
      }
      if (replaced[i] >= 0) kept[static_cast<std::size_t>(replaced[i])] = false;
    }
  }
  // The files to be packed are compressed ahead, in the order they go in,
  // while the kept entries are copied. A file whose comparison fails is
  // decided again in its own step, which reports the failure.
  const auto packed = [&](std::size_t i) {
    return repack[i] || !run.UpdateRun || base->NeedsUpdate(run.Files[i]);
  };
  std::vector<signed char> decided(run.Files.size(), -1);
  const auto plan = [&] {
    std::vector<std::string> planned;
    for (std::size_t i = 0; i < run.Files.size(); ++i) {
      if (IsFolderItem(run.Files[i])) continue;
      try {
        decided[i] = packed(i) ? 1 : 0;
      } catch (const std::exception&) {
        continue;
      }
      if (decided[i] == 1) planned.push_back(run.Files[i]);
    }
    zip.PlanFiles(std::move(planned));
  };
  plan();
  if (previous != nullptr) {
    bool damaged = false;
    for (int entry = 0; entry < previous->Entries().Count(); ++entry) {
      if (!kept[static_cast<std::size_t>(entry)]) continue;
      try {
        zip.CopyEntry(*previous, entry);
      } catch (const EZkZipDataError& e) {
        const auto file = fileOfEntry.find(entry);
        if (file == fileOfEntry.end()) {
          SourceError(run, e.what());
          continue;
        }
        Log("- Zip Repack Damaged -" + run.Files[file->second]);
        repack[file->second] = true;
        damaged = true;
      }
    }
    // A damaged entry's file joins the files packed again.
    if (damaged) plan();
  }
  for (std::size_t i = 0; i < run.Files.size(); ++i) {
    const std::string& file = run.Files[i];
    if (Interrupted()) continue;
    // A file that cannot be packed again keeps its former entry, unless
    // that is damaged.
    const auto keepFormerEntry = [&] {
      if (replaced[i] >= 0 && !repack[i] && zip.Entries().IndexOfName(file) < 0) zip.CopyEntry(*previous, replaced[i]);
    };
    try {
      task.ItemBase = task.TotalPosition;
      if (IsFolderItem(file)) {
        if (zip.Entries().IndexOfName(file) < 0) {
          Log("- Zip Add Folder -" + file);
          zip.Entries().AddFolders(file);
        }
        DoAfterAddFile();
        continue;
      }
      BeginItem(task, file);
      if (decided[i] == 1 || (decided[i] < 0 && packed(i))) {
        if (previous != nullptr && previous->IsChangedFile(file))
          Log("- Zip Update -" + file);
        else if (run.UpdateRun)
          Log((base->IsNewFile(file) ? "- Zip Add New File -" : "- Zip Add Modified File -") + file);
        else
          Log("- Zip Add -" + file);
        DoBeforeAddFile();
        const auto before = platform::ReadFileInfo(file);
        if (zip.AddFile(file) == nullptr) {
          keepFormerEntry();
        } else if (!Interrupted()) {
          CheckUnchanged(file, before);
        }
      }
      task.TotalPosition = task.ItemBase + task.ItemSize;
      DoAfterAddFile();
      Wait(kItemWaitMs);
    } catch (const EZkFileWriteError&) {
      // The archive itself cannot take more (a full disk): it must not take
      // the place of the previous one with files missing.
      throw;
    } catch (const std::exception& e) {
      if (Interrupted()) {
        Error(e.what());
      } else {
        SourceError(run, e.what());
      }
      keepFormerEntry();
    }
  }
}

void TZkThreadSave::DeliverArchive(TZkThreadActiveTask& task, TRunState& run) {
  const bool separateWork = task.BuildsInWorkFolder();
  if (separateWork) {
    run.Delivered = CopyArchive(task, run, TCopyUse::ctArchive);
  } else {
    run.Delivered = true;
  }
  if (!Interrupted() && task.UsesDuplicate()) CopyArchive(task, run, TCopyUse::ctDuplicate);
  if (!separateWork) return;
  if (run.Delivered || Interrupted()) {
    std::remove(task.WorkPath.c_str());
  } else {
    // The new backup is not at its output path; the user still has it here.
    Error(FormatMessage("Az archívum a munkamappában maradt (%s)", {task.WorkPath}));
  }
}

bool TZkThreadSave::CopyArchive(TZkThreadActiveTask& task, TRunState& run, TCopyUse use) {
  const bool duplicate = use == TCopyUse::ctDuplicate;
  try {
    BeginItem(task, task.WorkPath);
    const std::string wanted = duplicate ? task.GetDuplicatePath() : task.GetOutputPath();
    const std::string target = DeliveryPath(task, wanted, run.SourceErrors);
    if (target != wanted) {
      if (duplicate) {
        Error(FormatMessage("A mentés hiányos, az előző másodpéldány a helyén maradt; az új: %s", {target}));
      } else {
        KeptBeside(run, target);
      }
    }
    task.TargetPath = target;
    task.TotalSize = task.ItemSize;
    Log((duplicate ? "- Duplicate -" : "- Zip copy in temp -") + target);
    CreateFolderPath(target);
    platform::RemoveAtomicLeftovers(FolderPart(target));
    const auto relay = CopyRelay(use);
    CopyFileWithProgress(task.WorkPath, target, relay.get());
    duplicate ? DoAfterDuplicate() : DoAfterCopy();
    return true;
  } catch (const std::exception& e) {
    Error(e.what());
  }
  return false;
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
