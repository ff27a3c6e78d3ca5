#pragma once
// The job classes: a job's file specifications, the job itself with its
// owned output definition and lists, and the job list. They are plain data
// objects; their published properties, in the order listed here, fix the
// order of the elements in the job file.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "engine/ZkDefineOutput.h"
#include "engine/ZkSaveFunc.h"
#include "engine/ZkTimering.h"
#include "store/Published.h"

namespace zk {

namespace platform {
class TZkClock;
}

class TZkRunControl;

// One file specification: a folder, a file, or a folder with a mask; in the
// exclude list also a bare mask or name.
// What a run writes itself, never to be collected by it: archive paths, and
// folders (the work folder, a copy run's tree) with everything below them.
// The temporary files of unfinished writes are never collected either.
struct TZkOwnOutputs {
  std::vector<std::string> Files;
  std::vector<std::string> Folders;
};

// Whether a job's name can name its archive and its history section: not
// empty, not "." or "..", without "/" (it would leave the output folder),
// CR, LF, "[" or "]" (the history's section would never be read back).
bool IsUsableJobName(std::string_view name);

// Where collection sends an error line for what it cannot read.
using TZkCollectReport = std::function<void(const std::string& line)>;

class TZkThreadSaveFile : public TZkCollectionItem {
public:
  std::string Name;
  bool SubDir = true;
  bool Hidden = true;
  bool System = true;

  using TTaken = std::unordered_set<std::string>;

  // Adds the files this specification takes (below `folder`, or from the
  // top when it is empty) to `result` and returns the sum of their sizes.
  // Names matching one of `excludedMasks` in a folder visited, and paths in
  // `excludedPaths`, are left out; either list may be null. So are the
  // run's own outputs, and with `taken`, the paths in it (each path taken is
  // added to it). With `report`, what cannot be read goes there as an error
  // line: a folder or file the walk cannot read, and this include entry
  // itself when its folder or the one file it names is not there.
  std::int64_t FindFiles(std::vector<std::string>& result, const std::vector<std::string>* excludedMasks,
                         const std::string& folder, TZkRunControl& control,
                         const std::vector<std::string>* excludedPaths, const TZkOwnOutputs& own = {},
                         TTaken* taken = nullptr, const TZkCollectReport* report = nullptr) const;

  std::string DisplayName() const override;
  void Assign(const TZkPersistent& source) override;
  const TPropList& Properties() const override { return ClassProperties(); }
  static const TPropList& ClassProperties();
};

using TZkThreadSaveFiles = TZkOwnedCollection<TZkThreadSaveFile>;

// One backup job.
class TZkThreadSaveTask : public TZkCollectionItem {
public:
  TZkThreadSaveTask();

  std::string Name;
  bool Disable = false;  // a disabled job never comes due, not even by hand

  TZkThreadDefineOutput& DefineOutput() { return defineOutput_; }
  const TZkThreadDefineOutput& DefineOutput() const { return defineOutput_; }
  TZkThreadSaveFiles& AddFiles() { return addFiles_; }
  const TZkThreadSaveFiles& AddFiles() const { return addFiles_; }
  TZkThreadSaveFiles& ExtractFiles() { return extractFiles_; }
  const TZkThreadSaveFiles& ExtractFiles() const { return extractFiles_; }
  TZkThreadSaveTimerings& TimerList() { return timerList_; }
  const TZkThreadSaveTimerings& TimerList() const { return timerList_; }
  TZkThreadSaveFuncs& BeginFuncList() { return beginFuncList_; }
  const TZkThreadSaveFuncs& BeginFuncList() const { return beginFuncList_; }
  TZkThreadSaveFuncs& EndFuncList() { return endFuncList_; }
  const TZkThreadSaveFuncs& EndFuncList() const { return endFuncList_; }
  // The owned objects are never replaced: these copy into them.
  void SetDefineOutput(const TZkThreadDefineOutput& value) { defineOutput_.Assign(value); }
  void SetAddFiles(const TZkThreadSaveFiles& value) { addFiles_.Assign(value); }
  void SetExtractFiles(const TZkThreadSaveFiles& value) { extractFiles_.Assign(value); }
  void SetTimerList(const TZkThreadSaveTimerings& value) { timerList_.Assign(value); }
  void SetBeginFuncList(const TZkThreadSaveFuncs& value) { beginFuncList_.Assign(value); }
  void SetEndFuncList(const TZkThreadSaveFuncs& value) { endFuncList_.Assign(value); }

  // The manual start request; set from the window's thread, read and
  // cleared by the engine's.
  bool RunNow() const { return runNow_.load(); }
  void SetRunNow(bool value) { runNow_.store(value); }
  void StartNow() { SetRunNow(true); }

  // Schedules. The clock is the job list's, or the machine's for a job in
  // no list.
  const platform::TZkClock& Clock() const;
  void RecalcTimers();
  // The highest index of an entry whose moment has come, -1 when none has.
  int FiredTimerIndex() const;
  bool IsDue() const;
  bool IsNotDue() const { return !IsDue(); }

  // The files of the include list without those of the exclude list, in
  // list order, each once; returns the sum of their sizes. Ends early, with
  // what it found so far, when the engine is asked to stop or terminated.
  // The run's own outputs are never taken. What the includes cannot reach
  // goes to `report` as error lines.
  std::int64_t CollectFiles(std::vector<std::string>& result, TZkRunControl& control,
                            const TZkOwnOutputs& own = {}, const TZkCollectReport& report = {}) const;

  std::string DisplayName() const override;
  // From another job: Name, Disable, RunNow, the output definition and the
  // five lists, each copied into this job's own.
  void Assign(const TZkPersistent& source) override;
  const TPropList& Properties() const override { return ClassProperties(); }
  static const TPropList& ClassProperties();

private:
  std::atomic<bool> runNow_{false};
  TZkThreadDefineOutput defineOutput_;
  TZkThreadSaveFiles addFiles_;
  TZkThreadSaveFiles extractFiles_;
  TZkThreadSaveTimerings timerList_;
  TZkThreadSaveFuncs beginFuncList_;
  TZkThreadSaveFuncs endFuncList_;
};

// The job list.
class TZkThreadSaveTasks : public TZkOwnedCollection<TZkThreadSaveTask> {
public:
  explicit TZkThreadSaveTasks(TZkPersistent* owner = nullptr, const platform::TZkClock* clock = nullptr);

  const platform::TZkClock& Clock() const;
  void SetClock(const platform::TZkClock& clock) { clock_ = &clock; }

  // The last job with this name (A to Z compared without case), -1 / null
  // when there is none.
  int IndexOfName(std::string_view name) const;
  TZkThreadSaveTask* FindByName(std::string_view name) const;
  void RecalcAllTimers();

private:
  const platform::TZkClock* clock_;
};

}  // namespace zk
