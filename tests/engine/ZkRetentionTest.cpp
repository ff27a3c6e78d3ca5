// Old archives pruned: which runs go when a job keeps its newest complete
// full runs, and a job that does so over dated runs.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/ZkPipelineFixture.h"
#include "engine/ZkRetention.h"

namespace zk::test {
namespace {

std::vector<std::string> PathsOf(const std::vector<TZkRunRecord>& runs) {
  std::vector<std::string> paths;
  for (const TZkRunRecord& run : runs) paths.push_back(run.Path);
  return paths;
}

TEST(Retention, WhichRunsGo) {
  struct Case {
    const char* what;
    std::vector<std::string> history;  // oldest first
    int keep;
    std::vector<std::string> pruned;  // newest first
  };
  const Case cases[] = {
      {"a differential older than the kept runs goes with its base",
       {"Ok;2024.01.01;10:00;Global;/a1", "Ok;2024.01.02;10:00;Global;/a2", "Ok;2024.01.03;10:00;Update;/d3",
        "Ok;2024.01.04;10:00;Global;/a4", "Stopped;2024.01.05;10:00;Global;/a5", "Ok;2024.01.06;10:00;Global;/a6",
        "Ok;2024.01.07;10:00;Global;/a7"},
       3,
       {"/d3", "/a2", "/a1"}},
      {"a kept differential keeps its base",
       {"Ok;2024.01.01;10:00;Global;/a1", "Ok;2024.01.02;10:00;Global;/a2", "Ok;2024.01.03;10:00;Update;/d3",
        "Ok;2024.01.04;10:00;Global;/a4"},
       2,
       {"/a1"}},
      {"incomplete runs are no kept runs",
       {"Ok;2024.01.01;10:00;Global;/a1", "Incomplete;2024.01.02;10:00;Global;/a2 (hiányos)",
        "Ok;2024.01.03;10:00;Global;/a3"},
       1,
       {"/a2 (hiányos)", "/a1"}},
      {"one name used twice is named once",
       {"Ok;2024.01.01;10:00;Global;/same", "Ok;2024.01.01;11:00;Global;/same", "Ok;2024.01.02;10:00;Global;/b"},
       1,
       {"/same"}},
      {"no more complete runs than kept", {"Ok;2024.01.01;10:00;Global;/a1", "Stopped;2024.01.02;10:00;Global;/a2"}, 1, {}},
      {"0 keeps everything", {"Ok;2024.01.01;10:00;Global;/a1", "Ok;2024.01.02;10:00;Global;/a2"}, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(PathsOf(RunsToPrune(c.history, c.keep)), c.pruned);
  }
}

TEST_F(Pipeline, KeepCountPrunesTheOldDatedArchivesAndTheirDuplicates) {
  Output().FileNameDate = true;
  Output().KeepCount = 3;
  Output().DuplicateFolder = dir / "dup";
  Output().DuplicateFileNameDate = true;
  AddUpdateEntry();
  // Full runs by hand on days 1, 2, 3, 5 and 6; on day 4 the schedule's
  // update run writes a differential archive against day 3's.
  for (int day = 1; day <= 6; ++day) {
    Clear();
    if (day == 4) {
      dir.Write("src/a.txt", "alpha, changed");
      Touch(a, 2);
      DueOn(day);
      RunEngine({});
    } else {
      clock.Set(2024, 1, day, 9, 0, 0);
      jobs.RecalcAllTimers();
      RunEngine();
    }
    ASSERT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
  }
  const auto name = [](int day) { return "Docs 2024.01.0" + std::to_string(day) + ".Zip"; };
  // Kept: the full runs of days 6, 5 and 3 (the oldest kept), and day 4's
  // differential archive, whose base day 3's is.
  EXPECT_EQ(NamesIn(Out("")), (Lines{name(3), name(4), name(5), name(6)}));
  // A duplicate without a file name of its own is named after the job and
  // the firing entry.
  EXPECT_EQ(NamesIn(dir / "dup"), (Lines{name(3), name(5), name(6), "Docs Napi 2024.01.04.Zip"}));
  // Day 1's went after day 5's run; day 6's run ends with day 2's.
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(Lines(log.end() - 2, log.end()), (Lines{"- Prune -" + Out(name(2)), "- Prune -" + dir / ("dup/" + name(2))}));
  EXPECT_EQ(History().size(), 6u);
}

TEST_F(Pipeline, KeepCountLeavesAnUndatedDuplicateThatEveryRunWrites) {
  Output().FileNameDate = true;
  Output().KeepCount = 1;
  Output().DuplicateFolder = dir / "dup";
  for (int day = 1; day <= 2; ++day) {
    clock.Set(2024, 1, day, 9, 0, 0);
    RunEngine();
  }
  EXPECT_EQ(NamesIn(Out("")), Lines{"Docs 2024.01.02.Zip"});
  EXPECT_EQ(NamesIn(dir / "dup"), Lines{"Docs.Zip"});
  EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
}

}  // namespace
}  // namespace zk::test
