#include "engine/ZkJob.h"

#include "platform/ZkClock.h"
#include "util/ZkUtil.h"

namespace zk {

bool IsUsableJobName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find_first_of("/\r\n[]") == std::string_view::npos;
}

void TZkThreadDefineOutput::Assign(const TZkPersistent& source) { AssignPublished<TZkThreadDefineOutput, TZkPersistent>(source); }

const TPropList& TZkThreadDefineOutput::ClassProperties() {
  using T = TZkThreadDefineOutput;
  static const TPropList list = TPropTable<T>(TZkPersistent::ClassProperties())
                                    .String("OutputFolder", &T::OutputFolder)
                                    .Boolean("OutputFolderDate", &T::OutputFolderDate)
                                    .Boolean("OutputFolderTime", &T::OutputFolderTime)
                                    .Boolean("OutputFolderWeekDay", &T::OutputFolderWeekDay)
                                    .Boolean("OutputFolderMonthDay", &T::OutputFolderMonthDay)
                                    .Boolean("CreateLogFile", &T::CreateLogFile)
                                    .Boolean("CreateErrorFile", &T::CreateErrorFile)
                                    .Enumeration("PackMode", {"tmCopy", "tmZip"}, &T::PackMode, TZkSaveMode::tmZip)
                                    .String("FileName", &T::FileName)
                                    .Boolean("FileNameDate", &T::FileNameDate)
                                    .Boolean("FileNameTime", &T::FileNameTime)
                                    .Boolean("FileNameWeekDay", &T::FileNameWeekDay)
                                    .Boolean("FileNameMonthDay", &T::FileNameMonthDay)
                                    .String("Temp", &T::Temp)
                                    .String("DuplicateFolder", &T::DuplicateFolder)
                                    .Boolean("DuplicateFolderDate", &T::DuplicateFolderDate)
                                    .Boolean("DuplicateFolderTime", &T::DuplicateFolderTime)
                                    .Boolean("DuplicateFolderWeekDay", &T::DuplicateFolderWeekDay)
                                    .Boolean("DuplicateFolderMonthDay", &T::DuplicateFolderMonthDay)
                                    .String("DuplicateFileName", &T::DuplicateFileName)
                                    .Boolean("DuplicateFileNameDate", &T::DuplicateFileNameDate)
                                    .Boolean("DuplicateFileNameTime", &T::DuplicateFileNameTime)
                                    .Boolean("DuplicateFileNameWeekDay", &T::DuplicateFileNameWeekDay)
                                    .Boolean("DuplicateFileNameMonthDay", &T::DuplicateFileNameMonthDay)
                                    .Boolean("VerifyArchive", &T::VerifyArchive)
                                    .Integer("KeepCount", &T::KeepCount)
                                    .String("RemoteTarget", &T::RemoteTarget)
                                    .List();
  return list;
}

std::string TZkThreadSaveFile::DisplayName() const {
  return Name.empty() ? TZkCollectionItem::DisplayName() : Name;
}

void TZkThreadSaveFile::Assign(const TZkPersistent& source) { AssignPublished<TZkThreadSaveFile, TZkCollectionItem>(source); }

const TPropList& TZkThreadSaveFile::ClassProperties() {
  using T = TZkThreadSaveFile;
  static const TPropList list = TPropTable<T>(TZkCollectionItem::ClassProperties())
                                    .String("Name", &T::Name)
                                    .Boolean("SubDir", &T::SubDir, true)
                                    .Boolean("Hidden", &T::Hidden, true)
                                    .Boolean("System", &T::System, true)
                                    .List();
  return list;
}

TZkThreadSaveTask::TZkThreadSaveTask()
    : defineOutput_(this),
      addFiles_(this),
      extractFiles_(this),
      timerList_(this),
      beginFuncList_(this),
      endFuncList_(this) {}

const platform::TZkClock& TZkThreadSaveTask::Clock() const {
  const auto* jobs = dynamic_cast<const TZkThreadSaveTasks*>(Collection());
  return jobs != nullptr ? jobs->Clock() : platform::SystemClock();
}

void TZkThreadSaveTask::RecalcTimers() {
  const platform::TZkClock& clock = Clock();
  for (int i = 0; i < timerList_.Count(); ++i) timerList_.Items(i).RecalcTimer(clock);
}

int TZkThreadSaveTask::FiredTimerIndex() const {
  const platform::TZkClock& clock = Clock();
  for (int i = timerList_.Count() - 1; i >= 0; --i)
    if (timerList_.Items(i).Timer() <= clock.Now()) return i;
  return -1;
}

bool TZkThreadSaveTask::IsDue() const {
  return (FiredTimerIndex() >= 0 || RunNow()) && !Disable;
}

std::string TZkThreadSaveTask::DisplayName() const {
  return Name.empty() ? TZkCollectionItem::DisplayName() : Name;
}

void TZkThreadSaveTask::Assign(const TZkPersistent& source) {
  if (const auto* job = AssignPublished<TZkThreadSaveTask, TZkCollectionItem>(source)) SetRunNow(job->RunNow());
}

const TPropList& TZkThreadSaveTask::ClassProperties() {
  using T = TZkThreadSaveTask;
  static const TPropList list =
      TPropTable<T>(TZkCollectionItem::ClassProperties())
          .String("Name", &T::Name)
          .Boolean("Disable", &T::Disable)
          .Object("DefineOutput", [](T& t) -> TZkPersistent& { return t.DefineOutput(); })
          .Object("AddFiles", [](T& t) -> TZkPersistent& { return t.AddFiles(); })
          .Object("ExtractFiles", [](T& t) -> TZkPersistent& { return t.ExtractFiles(); })
          .Object("TimerList", [](T& t) -> TZkPersistent& { return t.TimerList(); })
          .Object("BeginFuncList", [](T& t) -> TZkPersistent& { return t.BeginFuncList(); })
          .Object("EndFuncList", [](T& t) -> TZkPersistent& { return t.EndFuncList(); })
          .List();
  return list;
}

TZkThreadSaveTasks::TZkThreadSaveTasks(TZkPersistent* owner, const platform::TZkClock* clock)
    : TZkOwnedCollection(owner), clock_(clock) {}

const platform::TZkClock& TZkThreadSaveTasks::Clock() const {
  return clock_ != nullptr ? *clock_ : platform::SystemClock();
}

int TZkThreadSaveTasks::IndexOfName(std::string_view name) const {
  for (int i = Count() - 1; i >= 0; --i)
    if (SameText(Items(i).Name, name)) return i;
  return -1;
}

TZkThreadSaveTask* TZkThreadSaveTasks::FindByName(std::string_view name) const {
  const int index = IndexOfName(name);
  return index < 0 ? nullptr : &Items(index);
}

void TZkThreadSaveTasks::RecalcAllTimers() {
  for (int i = 0; i < Count(); ++i) Items(i).RecalcTimers();
}

}  // namespace zk
