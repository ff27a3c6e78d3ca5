// The run of one job: the run body with its action lists, collection and
// packing, and the wrap-up that every run ends with.

#include <cstdio>
#include <exception>
#include <string>

#include "base/ZkError.h"
#include "engine/ZkRemote.h"
#include "engine/ZkRetention.h"
#include "engine/ZkRunHistory.h"
#include "engine/ZkRunState.h"
#include "engine/ZkThreadSave.h"
#include "platform/ZkFileHandle.h"
#include "platform/ZkFileSystem.h"
#include "platform/ZkSystemError.h"
#include "util/ZkUtilFile.h"

namespace zk {
namespace {

// The first and third line of every run; the job's name stands between.
const std::string kRule(74, '-');

}  // namespace

void BeginItem(TZkThreadActiveTask& task, const std::string& path) {
  task.ItemName = path;
  task.ItemPosition = 0;
  const platform::FileHandle file = platform::FileHandle::OpenForReading(path);
  if (!file.IsOpen()) throw EZkFileOpenError(FormatMessage("Megnyitási hiba (%s)", {path}));
  const std::int64_t size = file.Size();
  if (size < 0) throw EZkFileReadError(FormatMessage("Olvasási hiba (%s)", {path}));
  task.ItemSize = size;
}

void TZkThreadSave::RunJob() {
  TZkThreadActiveTask& task = *activeTask_;
  // A name that is no name would put the archive outside the output folder
  // or the history where it is never read back: the run writes nothing.
  const bool namedByJob = task.ActiveOutput().FileName.empty();
  if (!IsUsableJobName(task.Name) || (namedByJob && !IsUsableJobName(task.ArchiveBaseName()))) {
    Error("A mentés neve nem használható: " + task.Name);
    DoAfterBackup();
    return;
  }
  TRunState run;
  try {
    RunBody(task, run);
  } catch (const std::exception& e) {
    // The steps after the failing one are skipped; the wrap-up is not.
    Error(e.what());
  }
  WrapUp(run);
}

void TZkThreadSave::RunBody(TZkThreadActiveTask& task, TRunState& run) {
  run.History = ReadHistory(task);
  // One reading of the clock gives both, so that a run started just before
  // midnight is not dated a day late.
  const TDateTime now = Clock().Now();
  task.StartTime = TimeOf(now);
  task.StartDate = DateOf(now);
  task.WorkPath = task.GetWorkPath();
  for (const std::string& refused : TZkRunRecords::PrepareRecordFiles(task))
    Error(FormatMessage("A cél szimbolikus link, nem írható felül (%s)", {refused}));
  task.WorkFolder = FolderPart(task.WorkPath);
  task.TargetPath = task.WorkPath;
  DoBeforeBackup();
  CreateFolderPath(task.WorkPath);
  Log(kRule);
  Log(task.Name);
  Log(kRule);
  if (task.CatchUp) Log("- Catch Up -" + task.TimerList().Items(task.TimerIndex).DisplayName());
  HoldOffSleep(task);
  RunActions(task, TActionList::alBegin);
  if (!Interrupted()) CollectAndPack(task, run);
  RunActions(task, TActionList::alEnd);
  if (StopRequested()) Log("- Stop -");
  if (run.Uploaded) UploadRecords(task);
  TZkRunRecords::FinishRecordFiles(task);
}

void TZkThreadSave::RunActions(TZkThreadActiveTask& task, TActionList which) {
  const bool before = which == TActionList::alBegin;
  TZkThreadSaveFuncs& list = before ? task.BeginFuncList() : task.EndFuncList();
  task.ItemSize = list.Count() - 1;
  task.ItemPosition = 0;
  before ? DoBeforeBeginFunc() : DoBeforeEndFunc();
  while (task.ItemPosition <= task.ItemSize && !Interrupted()) {
    try {
      TZkThreadSaveFunc& action = list.Items(static_cast<int>(task.ItemPosition));
      task.ItemName = action.Name();
      if (before) {
        Log("- Pre -" + task.ItemName);
        DoActionBeginFunc(action);
      } else {
        DoActionEndFunc(action);
        Log("- Post -" + task.ItemName);
      }
      if (actions_ == nullptr) throw EZkError("No action platform");
      // A lock held on would delay or refuse the machine's own end.
      if (action.FuncType() == TZkSaveFunc::seShutDown || action.FuncType() == TZkSaveFunc::seRestart)
        sleepLock_.reset();
      // A stop does not wait for a program that may never end.
      if (!action.Perform(*actions_, [this] { return Interrupted(); }))
        Log(FormatMessage("A program tovább fut, a mentés nem várja meg (%s)", {task.ItemName}));
    } catch (const std::exception& e) {
      Error(e.what());
    }
    ++task.ItemPosition;
  }
  before ? DoAfterBeginFunc() : DoAfterEndFunc();
}

void TZkThreadSave::HoldOffSleep(const TZkThreadActiveTask& task) {
  if (actions_ == nullptr || actions_->SleepInhibitor == nullptr) return;
  sleepLock_ = actions_->SleepInhibitor->Inhibit("Mentés fut: " + task.Name);
  if (!sleepLock_) Log("Az alvás nem tiltható le a mentés idejére: " + platform::LastSystemErrorText());
}

void TZkThreadSave::CollectAndPack(TZkThreadActiveTask& task, TRunState& run) {
  run.Files.clear();
  task.TotalPosition = 0;
  task.TotalSize = task.CollectFiles(run.Files, *this, OwnOutputs(task),
                                     [this, &run](const std::string& line) { SourceError(run, line); });
  task.TotalFiles = static_cast<std::int64_t>(run.Files.size());
  // A stop while the files were collected ends the run before anything is
  // written: the list is incomplete.
  if (Interrupted()) {
    run.Files.clear();
    return;
  }
  // Nothing to save at all (an unplugged disk, an emptied list) must not
  // become an empty archive in the place of the last good one.
  if (run.Files.empty()) {
    Error("Nem található mentendő fájl; az előző mentés a helyén marad");
    return;
  }
  task.TargetPath = task.WorkPath;
  DoBeforeSave();
  if (task.TimerIndex >= 0 && task.TimerIndex < task.TimerList().Count() &&
      task.TimerList().Items(task.TimerIndex).UpdateSaving()) {
    if (const auto base = TZkRunRecords::FindUpdateBase(run.History)) {
      run.UpdateRun = true;
      run.BasePath = *base;
    }
  }
  if (task.ActiveOutput().PackMode == TZkSaveMode::tmCopy)
    CopyStep(task, run);
  else
    ZipStep(task, run);
  DoAfterSave();
  run.Files.clear();
}

void TZkThreadSave::SourceError(TRunState& run, const std::string& text) {
  Error(text);
  ++run.SourceErrors;
}

void TZkThreadSave::CheckUnchanged(const std::string& file, const std::optional<platform::FileInfo>& before) {
  const auto after = platform::ReadFileInfo(file);
  if (before && after && before->Size == after->Size && before->Modified == after->Modified) return;
  Error(FormatMessage("A fájl mentés közben megváltozott (%s)", {file}));
}

void TZkThreadSave::PruneArchives(TZkThreadActiveTask& task, const std::vector<std::string>& history) {
  const TZkThreadDefineOutput& output = task.ActiveOutput();
  // Under a name without date or time each run replaces the one before.
  const bool dated = output.FileNameDate || output.FileNameTime || output.OutputFolderDate || output.OutputFolderTime;
  if (!dated || output.PackMode != TZkSaveMode::tmZip) return;
  // An undated duplicate is this run's too.
  const bool datedDuplicate = output.DuplicateFileNameDate || output.DuplicateFileNameTime ||
                              output.DuplicateFolderDate || output.DuplicateFolderTime;
  const std::string currentDuplicate = task.GetDuplicatePath();
  const TDateTime startDate = task.StartDate;
  const TDateTime startTime = task.StartTime;
  for (const TZkRunRecord& old : RunsToPrune(history, output.KeepCount)) {
    std::vector<std::string> paths = {old.Path};
    // The duplicate of that run, where the job's names still lead from its
    // moment to its archive.
    if (const auto moment = RunMoment(old.Date, old.Time); moment && task.UsesDuplicate() && datedDuplicate) {
      task.StartDate = DateOf(*moment);
      task.StartTime = TimeOf(*moment);
      if (task.GetOutputPath() == old.Path && task.GetDuplicatePath() != currentDuplicate)
        paths.push_back(task.GetDuplicatePath());
    }
    for (const std::string& path : paths) {
      const auto info = platform::ReadFileInfo(path);
      if (!info || (info->Attr & platform::faDirectory) != 0) continue;
      if (std::remove(path.c_str()) == 0) {
        Log("- Prune -" + path);
      } else {
        Error(FormatMessage("Törlési hiba (%s)", {path}));
      }
    }
  }
  task.StartDate = startDate;
  task.StartTime = startTime;
}

TZkOwnOutputs TZkThreadSave::OwnOutputs(const TZkThreadActiveTask& task) {
  TZkOwnOutputs own;
  if (task.ActiveOutput().PackMode == TZkSaveMode::tmCopy) {
    own.Folders.push_back(task.WorkFolder);
    return own;
  }
  for (const std::string& path : {task.GetWorkPath(), task.GetOutputPath(), task.GetDuplicatePath()}) {
    if (path.empty()) continue;
    own.Files.push_back(path);
    own.Files.push_back(task.WithExtension(path, ".Zip"));
  }
  if (task.BuildsInWorkFolder()) own.Folders.push_back(FolderPart(task.GetWorkPath()));
  return own;
}

void TZkThreadSave::WrapUp(TRunState& run) {
  TZkThreadActiveTask& task = *activeTask_;
  const TZkRunStatus status = StopRequested() || !run.Delivered ? TZkRunStatus::rsStopped
                              : run.SourceErrors > 0          ? TZkRunStatus::rsIncomplete
                                                              : TZkRunStatus::rsOk;
  run.History.push_back(TZkRunRecords::HistoryEntry(task, status, run.UpdateRun, run.DeliveredPath));
  try {
    records_.WriteHistory(task, run.History);
    if (status == TZkRunStatus::rsOk && !run.UpdateRun) PruneArchives(task, run.History);
    if (status == TZkRunStatus::rsOk && run.Uploaded) {
      records_.WriteLastUpload(task, RemotePathOf(task.ActiveOutput(), task.GetOutputPath()));
      if (!run.UpdateRun) PruneRemote(task, run.History);
    }
  } catch (const std::exception& e) {
    // Without its line, the next update run would take a wrong base.
    Error(e.what());
  }
  sleepLock_.reset();
  DoAfterBackup();
}

}  // namespace zk
