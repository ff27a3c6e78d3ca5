// Schedule moments that passed while no engine ran: made up for once when
// the engine starts with CatchUp, and after the clock jumps ahead.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "engine/ZkPipelineFixture.h"

namespace zk::test {
namespace {

struct CatchUp : Pipeline {
  // The daily 22:00 entry "Napi".
  TZkThreadSaveTimering& AddDailyEntry() {
    TZkThreadSaveTimering& entry = Job().TimerList().Add();
    entry.SetName("Napi");
    entry.SetTime(EncodeTime(22, 0, 0, 0));
    return entry;
  }
  void LastRanOn(const std::string& dateAndTime) {
    dir.Write("Backup.Ini", "[Docs]\r\nHistory=Ok;" + dateAndTime + ";Global;" + Out("Docs.Zip") + "\r\n");
  }
  // The clock at `hour` of January `day`, and every entry computed anew, as
  // a program that starts then does.
  void StartAt(int day, int hour) {
    clock.Set(2024, 1, day, hour, 0, 0);
    jobs.RecalcAllTimers();
  }
  // How many jobs a fresh engine over the jobs makes due.
  int Missed() {
    TZkThreadSave engine(clock);
    engine.HistoryFilename = dir / "Backup.Ini";
    engine.SetSaving(jobs);
    return engine.MarkMissedRuns();
  }
};

TEST_F(CatchUp, WhatTheStartMakesUpFor) {
  struct Case {
    const char* what;
    const char* lastRun;  // empty: the job never ran
    int day, hour;        // the start
    int missed;
  };
  const Case cases[] = {
      {"off from 21:00 to 08:00", "2024.01.04;21:00", 5, 8, 1},
      {"two days missed: still one run", "2024.01.03;21:00", 5, 8, 1},
      {"the last moment was taken", "2024.01.04;22:00", 5, 8, 0},
      {"started before the moment", "2024.01.04;22:00", 5, 21, 0},
      {"never ran", "", 5, 8, 1},
  };
  AddDailyEntry();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(dir / "Backup.Ini");
    if (*c.lastRun != '\0') LastRanOn(c.lastRun);
    StartAt(c.day, c.hour);
    EXPECT_FALSE(Job().IsDue());  // as the seed computes it: nothing due
    EXPECT_EQ(Missed(), c.missed);
  }
}

TEST_F(CatchUp, AMissedRunRunsOnceAtTheStartWithItsEntrysSettings) {
  AddDailyEntry().SetUpdateSaving(true);
  RunEngine();
  ASSERT_EQ(History().back().substr(0, 3), "Ok;");
  Clear();
  // Ran by hand on the 5th at 09:07; the machine was off at 22:00 and for two
  // days after.
  StartAt(8, 8);
  bool dueAfter = true;
  onEvent = [&](const std::string& name, TZkThreadSave& sender, TZkThreadActiveTask&) {
    if (name == "AfterBackup") dueAfter = sender.Saving().Items(0).IsDue();
  };
  RunEngine({}, 1, [](TZkThreadSave& engine) { engine.CatchUp = true; });
  EXPECT_NE(std::find(log.begin(), log.end(), "- Catch Up -Napi"), log.end()) << ::testing::PrintToString(log);
  EXPECT_EQ(History().back(), "Ok;2024.01.08;08:00;Update;" + Out("Docs.Zip"));
  EXPECT_FALSE(dueAfter);
}

TEST_F(CatchUp, AOneOffEntryWhoseMomentPassedUnrunRunsOnce) {
  TZkThreadSaveTimering& entry = Job().TimerList().Add();
  entry.SetTimerType(TZkSaveTimerType::ttOne);
  entry.SetDate(EncodeDate(2024, 1, 5));
  entry.SetTime(EncodeTime(6, 0, 0, 0));
  LastRanOn("2024.01.04;10:00");
  StartAt(5, 8);
  EXPECT_EQ(Missed(), 1);
  LastRanOn("2024.01.05;08:00");
  EXPECT_EQ(Missed(), 0);
}

TEST_F(CatchUp, AClockJumpWhileTheEngineIdlesLooksAgain) {
  AddDailyEntry();
  LastRanOn("2024.01.05;21:00");
  StartAt(5, 21);
  // The machine sleeps through 22:00 during the first idle wait.
  sleeper.OnSleep = [this, slept = false](int) mutable {
    if (slept) return;
    slept = true;
    clock.Set(2024, 1, 6, 1, 30, 0);
  };
  RunEngine({}, 1, [](TZkThreadSave& engine) { engine.CatchUp = true; });
  EXPECT_NE(std::find(log.begin(), log.end(), "- Catch Up -Napi"), log.end()) << ::testing::PrintToString(log);
  EXPECT_EQ(History().back(), "Ok;2024.01.06;01:30;Global;" + Out("Docs.Zip"));
}

}  // namespace
}  // namespace zk::test
