#include "engine/ZkThreadSave.h"

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "engine/ZkEngineWaits.h"
#include "store/ZkTreeData.h"
#include "util/ZkUtil.h"

namespace zk {
namespace {

constexpr const char* kJobListNode = "Saving";

// A clock that moved on this much more than a pass takes has jumped (the
// machine slept, or its time was set).
constexpr double kClockJumpDays = 5.0 / 1440.0;

// When the job last ran, from its newest history line; nothing without one.
std::optional<TDateTime> NewestRun(const std::vector<std::string>& history) {
  if (history.empty()) return std::nullopt;
  const std::string date = FieldOf(history.back(), ";", 2);
  const std::string time = FieldOf(history.back(), ";", 3);
  TDateTime day = 0;
  TDateTime hour = 0;
  if (date.size() != 10 || time.size() != 5 ||
      !TryEncodeDate(std::atoi(date.c_str()), std::atoi(date.c_str() + 5), std::atoi(date.c_str() + 8), day) ||
      !TryEncodeTime(std::atoi(time.c_str()), std::atoi(time.c_str() + 3), 0, 0, hour))
    return std::nullopt;
  return day + hour;
}

// The jobs of the document's "Saving" node; without one, the list stays.
void LoadJobList(const TZkTreeData& document, TZkThreadSaveTasks& jobs) {
  if (const TZkTreeDataNode* list = document.Root().FindNode(kJobListNode)) jobs.Assign(list->Nodes());
}

}  // namespace

void ReadJobFile(const std::string& path, TZkThreadSaveTasks& jobs) {
  TZkTreeData document;
  document.LoadFromFile(path);
  LoadJobList(document, jobs);
  jobs.RecalcAllTimers();
}

void WriteJobFile(const std::string& path, const TZkThreadSaveTasks& jobs) {
  TZkTreeData document;
  document.Root().AddNode(kJobListNode).Nodes().Assign(jobs);
  document.SaveToFile(path);
}

TZkThreadSave::TZkThreadSave(const platform::TZkClock& clock, TDeliver deliver)
    : TZkCustomThread(std::move(deliver)), records_(clock), saving_(this, &clock) {}

TZkThreadSave::~TZkThreadSave() {
  Shutdown();
}

void TZkThreadSave::Stop() {
  stopRequested_.store(true);
  WakeSignal().Notify();
  const auto lock = LockJobs();
  saving_.RecalcAllTimers();
}

void TZkThreadSave::SetSaving(const TZkThreadSaveTasks& jobs) {
  const auto lock = LockJobs();
  saving_.Assign(jobs);
}

int TZkThreadSave::MarkMissedRuns() {
  const auto lock = LockJobs();
  const TDateTime now = Clock().Now();
  int marked = 0;
  for (int i = 0; i < saving_.Count(); ++i) {
    TZkThreadSaveTask& job = saving_.Items(i);
    if (job.Disable || job.TimerList().Count() == 0) continue;
    // The history keeps minutes: a run in the minute of a moment took it.
    const std::optional<TDateTime> ran = NewestRun(TZkRunRecords::ReadJobHistory(HistoryFilename, job.Name));
    int latest = -1;
    TDateTime latestMoment = 0;
    for (int k = 0; k < job.TimerList().Count(); ++k) {
      const std::optional<TDateTime> due = job.TimerList().Items(k).LastDueMoment(now);
      if (!due || (ran && *due < *ran + 1.0 / 1440.0)) continue;
      if (latest < 0 || *due > latestMoment) {
        latest = k;
        latestMoment = *due;
      }
    }
    if (latest < 0) continue;
    job.TimerList().Items(latest).CatchUpMoment(latestMoment);
    ++marked;
  }
  return marked;
}

void TZkThreadSave::Execute() {
  if (CatchUp) MarkMissedRuns();
  TDateTime lastPass = Clock().Now();
  do {
    const TDateTime now = Clock().Now();
    if (CatchUp && now - lastPass > kIdleWaitMs / 86400000.0 + kClockJumpDays) MarkMissedRuns();
    lastPass = now;
    if (auto task = TakeDueJob()) {
      activeTask_ = std::move(task);
      RunJob();
    } else if (!Terminated()) {
      // An engine terminated before its pass (one destroyed without ever
      // being started) has nothing to poll for.
      sleeper_->SleepUnlessWoken(kIdleWaitMs, WakeSignal());
    }
    stopRequested_.store(false);
    WakeSignal().Reset();
  } while (!Terminated());
}

std::unique_ptr<TZkThreadActiveTask> TZkThreadSave::TakeDueJob() {
  const auto lock = LockJobs();
  for (int i = saving_.Count() - 1; i >= 0; --i) {
    TZkThreadSaveTask& job = saving_.Items(i);
    if (job.IsNotDue()) continue;
    auto task = std::make_unique<TZkThreadActiveTask>();
    task->Assign(job);
    task->TimerIndex = job.FiredTimerIndex();
    task->CatchUp = task->TimerIndex >= 0 && job.TimerList().Items(task->TimerIndex).CatchingUp();
    job.SetRunNow(false);
    if (task->TimerIndex >= 0) job.TimerList().Items(task->TimerIndex).RecalcTimer(saving_.Clock());
    return task;
  }
  return nullptr;
}

void TZkThreadSave::Log(const std::string& text) {
  records_.WriteLog(text, activeTask_.get());
  if (OnLogEvent) OnLogEvent(*this, text);
}

void TZkThreadSave::Error(const std::string& text) {
  records_.WriteError(text, activeTask_.get());
  if (OnErrorEvent) OnErrorEvent(*this, text);
  Log(text);
}

std::vector<std::string> TZkThreadSave::ReadHistory(const TZkThreadActiveTask& task) {
  return records_.ReadHistory(task, [this](const std::string& message) { Error(message); });
}

void TZkThreadSave::Wait(int milliseconds) {
  if (Throttle) sleeper_->Sleep(milliseconds);
}

std::unique_ptr<TZkThreadProcess> TZkThreadSave::CopyRelay(TCopyUse use) {
  switch (use) {
    case TCopyUse::ctFile:
      return std::make_unique<TZkThreadProcess2>(*this, [this] { DoBeforeAddFile(); }, [this] { DoActionAddFile(); });
    case TCopyUse::ctArchive:
      return std::make_unique<TZkThreadProcess>(*this, [this] { DoBeforeCopy(); }, [this] { DoActionCopy(); });
    case TCopyUse::ctDuplicate:
      break;
  }
  return std::make_unique<TZkThreadProcess>(*this, [this] { DoBeforeDuplicate(); }, [this] { DoActionDuplicate(); });
}

void TZkThreadSave::Raise(const TSaveEvent& event) {
  if (event && activeTask_) event(*this, *activeTask_);
}

void TZkThreadSave::DoActionAddFile() { Raise(OnActionAddFile); }
void TZkThreadSave::DoActionCopy() { Raise(OnActionCopy); }
void TZkThreadSave::DoActionDuplicate() { Raise(OnActionDuplicate); }
void TZkThreadSave::DoAfterAddFile() { Raise(OnAfterAddFile); }
void TZkThreadSave::DoAfterBeginFunc() { Raise(OnAfterBeginFunc); }
void TZkThreadSave::DoAfterCopy() { Raise(OnAfterCopy); }
void TZkThreadSave::DoAfterDuplicate() { Raise(OnAfterDuplicate); }
void TZkThreadSave::DoAfterEndFunc() { Raise(OnAfterEndFunc); }
void TZkThreadSave::DoAfterSave() { Raise(OnAfterSave); }
void TZkThreadSave::DoAfterBackup() {
  // The handler sees the run copy, but the engine no longer has it: a Log or
  // Error from there reaches only the shared files and the events.
  const std::unique_ptr<TZkThreadActiveTask> task = std::move(activeTask_);
  if (OnAfterBackup && task) OnAfterBackup(*this, *task);
}
void TZkThreadSave::DoBeforeAddFile() { Raise(OnBeforeAddFile); }
void TZkThreadSave::DoBeforeBeginFunc() { Raise(OnBeforeBeginFunc); }
void TZkThreadSave::DoBeforeCopy() { Raise(OnBeforeCopy); }
void TZkThreadSave::DoBeforeDuplicate() { Raise(OnBeforeDuplicate); }
void TZkThreadSave::DoBeforeEndFunc() { Raise(OnBeforeEndFunc); }
void TZkThreadSave::DoBeforeSave() { Raise(OnBeforeSave); }
void TZkThreadSave::DoBeforeBackup() { Raise(OnBeforeBackup); }

void TZkThreadSave::DoActionBeginFunc(TZkThreadSaveFunc& func) {
  if (OnActionBeginFunc && activeTask_) OnActionBeginFunc(*this, *activeTask_, func);
}

void TZkThreadSave::DoActionEndFunc(TZkThreadSaveFunc& func) {
  if (OnActionEndFunc && activeTask_) OnActionEndFunc(*this, *activeTask_, func);
}

void TZkThreadSave::LoadFromTree(const TZkTreeData& document) {
  const auto lock = LockJobs();
  LoadJobList(document, saving_);
}

void TZkThreadSave::SaveToTree(TZkTreeData& document) const {
  document.Root().AddNode(kJobListNode).Nodes().Assign(saving_);
}

void TZkThreadSave::LoadFromFile(const std::string& path) {
  TZkTreeData document;
  document.LoadFromFile(path);
  const auto lock = LockJobs();
  LoadJobList(document, saving_);
  saving_.RecalcAllTimers();
}

void TZkThreadSave::SaveToFile(const std::string& path) const {
  WriteJobFile(path, saving_);
}

const TPropList& TZkThreadSave::ClassProperties() {
  static const TPropList list =
      TPropTable<TZkThreadSave>(TZkPersistent::ClassProperties())
          .Object("Saving", [](TZkThreadSave& engine) -> TZkPersistent& { return engine.Saving(); })
          .List();
  return list;
}

}  // namespace zk
