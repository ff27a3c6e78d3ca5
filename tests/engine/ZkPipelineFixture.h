#pragma once
// A job over a small source tree and an engine run on its worker thread
// until its runs have ended, with the throttling waits recorded instead of
// slept and every event, log and error line noted.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "engine/ZkThreadSave.h"
#include "platform/ZkFakePrograms.h"
#include "platform/ZkFakeServiceControl.h"
#include "platform/ZkFakeSessionEnder.h"
#include "store/zkIniFile.h"
#include "support/ZkFakeClock.h"
#include "support/ZkRecordingSleeper.h"
#include "support/ZkTempDir.h"

namespace zk::test {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

inline const std::string kRule(74, '-');

// The entry name of a file backed up with its path: without the root "/".
inline std::string EntryOf(const std::string& path) {
  return path.substr(1);
}

// Every name in a folder, to see that no temporary file stays behind.
inline Lines NamesIn(const std::string& folder) {
  Lines names;
  if (!fs::exists(folder)) return names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

inline void Touch(const std::string& path, int hoursLater) {
  fs::last_write_time(path, fs::last_write_time(path) + std::chrono::hours(hoursLater));
}

struct Pipeline : ::testing::Test {
  Pipeline() {
    clock.Set(2024, 1, 5, 9, 7, 3);
    a = dir.Write("src/a.txt", "alpha");
    b = dir.Write("src/sub/b.txt", "beta");
    TZkThreadSaveTask& job = jobs.Add();
    job.Name = "Docs";
    job.AddFiles().Add().Name = dir / "src/";
    job.DefineOutput().OutputFolder = dir / "out";
    job.DefineOutput().FileName = "Docs";
  }

  TZkThreadSaveTask& Job() { return jobs.Items(0); }
  TZkThreadDefineOutput& Output() { return Job().DefineOutput(); }
  std::string Out(const std::string& name) { return dir / ("out/" + name); }

  // A schedule entry of the job that fires at 10:00 and asks for update runs.
  void AddUpdateEntry() {
    TZkThreadSaveTimering& entry = Job().TimerList().Add();
    entry.SetName("Napi");
    entry.SetTime(EncodeTime(10, 0, 0, 0));
    entry.SetUpdateSaving(true);
  }
  // Makes the job's entries due at 10:01 of the day.
  void DueOn(int day) {
    clock.Set(2024, 1, day, 9, 0, 0);
    jobs.RecalcAllTimers();
    clock.Set(2024, 1, day, 10, 1, 0);
  }

  // Runs a fresh engine on a copy of the jobs until `runs` runs have ended;
  // `byHand` are started with StartNow. `setup` may add handlers.
  void RunEngine(const Lines& byHand = {"Docs"}, int runs = 1,
                 const std::function<void(TZkThreadSave&)>& setup = {}) {
    TZkThreadSave engine(clock);
    engine.SetSleeper(sleeper);
    engine.SetActionPlatform(actions);
    engine.HistoryFilename = dir / "Backup.Ini";
    engine.OnLogEvent = [this](TZkThreadSave&, const std::string& line) { log.push_back(line); };
    engine.OnErrorEvent = [this](TZkThreadSave&, const std::string& line) { errors.push_back(line); };
    RecordEvents(engine, runs);
    if (setup) setup(engine);
    engine.SetSaving(jobs);
    for (const std::string& name : byHand) engine.Saving().FindByName(name)->StartNow();
    std::promise<void> ended;
    engine.OnTerminate = [&ended](TZkCustomThread&) { ended.set_value(); };
    engine.Start();
    if (ended.get_future().wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
      engine.Terminate();
      FAIL() << "the engine did not end its runs";
    }
  }

  void RecordEvents(TZkThreadSave& engine, int runs) {
    auto note = [this](const char* name) {
      return [this, name](TZkThreadSave& sender, TZkThreadActiveTask& task) {
        events.push_back(name);
        if (onEvent) onEvent(name, sender, task);
      };
    };
    auto noteFunc = [this](const char* name) {
      return [this, name](TZkThreadSave& sender, TZkThreadActiveTask& task, TZkThreadSaveFunc& func) {
        events.push_back(std::string(name) + " " + func.Name());
        if (onEvent) onEvent(name, sender, task);
      };
    };
    engine.OnBeforeBackup = note("BeforeBackup");
    engine.OnBeforeBeginFunc = note("BeforeBeginFunc");
    engine.OnActionBeginFunc = noteFunc("ActionBeginFunc");
    engine.OnAfterBeginFunc = note("AfterBeginFunc");
    engine.OnBeforeSave = note("BeforeSave");
    engine.OnBeforeAddFile = note("BeforeAddFile");
    engine.OnActionAddFile = note("ActionAddFile");
    engine.OnAfterAddFile = note("AfterAddFile");
    engine.OnBeforeCopy = note("BeforeCopy");
    engine.OnActionCopy = note("ActionCopy");
    engine.OnAfterCopy = note("AfterCopy");
    engine.OnBeforeDuplicate = note("BeforeDuplicate");
    engine.OnActionDuplicate = note("ActionDuplicate");
    engine.OnAfterDuplicate = note("AfterDuplicate");
    engine.OnAfterSave = note("AfterSave");
    engine.OnBeforeEndFunc = note("BeforeEndFunc");
    engine.OnActionEndFunc = noteFunc("ActionEndFunc");
    engine.OnAfterEndFunc = note("AfterEndFunc");
    engine.OnAfterBackup = [this, runs, ended = 0](TZkThreadSave& sender, TZkThreadActiveTask& task) mutable {
      events.push_back("AfterBackup");
      finished.push_back(task.Name);
      activeAtEnd = sender.ActiveTask() != nullptr;
      if (onEvent) onEvent("AfterBackup", sender, task);
      if (++ended == runs) {
        sender.Stop();
        sender.Terminate();
      }
    };
  }

  Lines History() {
    Lines history;
    TZkIniFile ini;
    ini.SetFile(dir / "Backup.Ini", false);
    ini.ReadSectionValues("Docs", "History", history);
    return history;
  }
  Lines Header() { return {kRule, "Docs", kRule}; }
  Lines Concat(Lines first, const Lines& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
  }
  void Clear() {
    log.clear();
    errors.clear();
    events.clear();
    sleeper.Waits.clear();
  }

  TempDir dir;
  TFixedClock clock;
  TRecordingSleeper sleeper;
  TRecordingSleeper actionSleeper;
  platform::TZkFakeServiceControl services;
  platform::TZkFakeSessionEnder session;
  platform::TZkFakePrograms programs;
  TZkActionPlatform actions{actionSleeper, services, session, programs};
  TZkThreadSaveTasks jobs{nullptr, &clock};
  std::string a, b;

  std::function<void(const std::string&, TZkThreadSave&, TZkThreadActiveTask&)> onEvent;
  Lines log, errors, events, finished;
  bool activeAtEnd = true;
};

}  // namespace zk::test
