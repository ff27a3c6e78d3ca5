#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/ZkJobHealth.h"
#include "support/ZkFakeClock.h"

namespace zk::test {
namespace {

TEST(JobHealth, AScheduledJobWithoutAGoodBackupForLongerThanItsGapIsOverdue) {
  TFixedClock clock;
  clock.Set(2024, 3, 10, 12, 0, 0);
  TZkThreadSaveTasks jobs(nullptr, &clock);
  TZkThreadSaveTask& job = jobs.Add();
  job.Name = "Docs";
  TZkThreadSaveTimering& daily = job.TimerList().Add();
  daily.SetTime(EncodeTime(22, 0, 0, 0));
  struct Case {
    const char* what;
    std::vector<std::string> history;
    bool overdue;
  };
  const Case cases[] = {
      {"a good run yesterday", {"Ok;2024.03.09;22:00;Global;/a"}, false},
      {"the last good run a week ago, stopped since",
       {"Ok;2024.03.03;22:00;Global;/a", "Stopped;2024.03.09;22:00;Global;/a"}, true},
      {"incomplete runs are no good runs",
       {"Ok;2024.03.01;22:00;Global;/a", "Incomplete;2024.03.09;22:00;Global;/b"}, true},
      {"ran, never well", {"Stopped;2024.03.09;22:00;Global;/a"}, true},
      {"never ran: a new job", {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const TZkJobHealth health = JobHealth(job, c.history, clock.Now());
    EXPECT_EQ(health.Overdue, c.overdue);
    ASSERT_TRUE(health.NextDue.has_value());
    EXPECT_EQ(*health.NextDue, EncodeDateTime(2024, 3, 10, 22, 0, 0, 0));
  }
  // A weekly entry beside the daily one widens the gap to a week.
  job.TimerList().Add().SetTimerType(TZkSaveTimerType::ttWeek);
  EXPECT_EQ(LongestScheduleGap(job), 7.0);
  EXPECT_FALSE(JobHealth(job, {"Ok;2024.03.05;22:00;Global;/a"}, clock.Now()).Overdue);
  // Without recurring entries nothing is ever overdue.
  job.TimerList().Clear();
  EXPECT_FALSE(LongestScheduleGap(job).has_value());
  EXPECT_FALSE(JobHealth(job, {"Stopped;2020.01.01;22:00;Global;/a"}, clock.Now()).Overdue);
}

}  // namespace
}  // namespace zk::test
