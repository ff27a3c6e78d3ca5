#include "engine/ZkTimering.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/ZkThreadSave.h"
#include "support/ZkFakeClock.h"
#include "util/ZkFormatSettings.h"

namespace zk::test {
namespace {

using M = TZkSaveMonth;
using W = TZkSaveDow;
using K = TZkSaveTimerType;

TZkSaveDayList DaysOf(std::initializer_list<int> days) {
  TZkSaveDayList list;
  for (int d : days) list.Include(static_cast<TZkSaveDay>(d - 1));
  return list;
}

TDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int ms = 0) {
  return EncodeDateTime(year, month, day, hour, minute, second, ms);
}

// An engine on a fixed clock with one job holding one entry.
struct ScheduleFixture {
  TFixedClock clock;
  TZkThreadSave engine{clock};
  TZkThreadSaveTask& job = engine.Saving().Add();
  TZkThreadSaveTimering& entry = job.TimerList().Add();
};

TEST(Schedule, RecalcTimerComputesTheNextMomentOfEveryKind) {
  struct Case {
    const char* what;
    K kind;
    TDateTime time;
    TZkSaveDows dows;
    TZkSaveDayList days;
    TZkSaveMonths months;
    TDateTime date;
    TDateTime now;
    TDateTime expected;
  };
  const TDateTime noon = EncodeTime(12, 0, 0, 0);
  const Case cases[] = {
      {"daily, a second before", K::ttDay, noon, {}, {}, {}, 0, At(2024, 1, 5, 11, 59, 59), At(2024, 1, 5, 12)},
      {"daily, exactly at the time", K::ttDay, noon, {}, {}, {}, 0, At(2024, 1, 5, 12), At(2024, 1, 6, 12)},
      // 5 January 2024 is a Friday.
      {"weekly, today before the time", K::ttWeek, noon, {W::sdFriday}, {}, {}, 0, At(2024, 1, 5, 10),
       At(2024, 1, 5, 12)},
      {"weekly, today after the time", K::ttWeek, noon, {W::sdFriday}, {}, {}, 0, At(2024, 1, 5, 13),
       At(2024, 1, 12, 12)},
      {"weekly, Monday from Friday", K::ttWeek, 0, {W::sdMonday, W::sdSunday}, {}, {}, 0, At(2024, 1, 5, 13),
       At(2024, 1, 7)},
      {"weekly, no weekday", K::ttWeek, noon, {}, {}, {}, 0, At(2024, 1, 5, 10), At(2224, 1, 5)},
      {"monthly 31st from 10 April", K::ttMonth, 0, {}, DaysOf({31}), {}, 0, At(2024, 4, 10, 10), At(2224, 4, 10)},
      {"monthly 31st from 30 April", K::ttMonth, 0, {}, DaysOf({31}), {}, 0, At(2024, 4, 30, 10), At(2024, 5, 31)},
      {"monthly, today before the time", K::ttMonth, noon, {}, DaysOf({5, 20}), {}, 0, At(2024, 1, 5, 9),
       At(2024, 1, 5, 12)},
      {"monthly, no day", K::ttMonth, noon, {}, {}, {}, 0, At(2024, 1, 5, 9), At(2224, 1, 5)},
      {"yearly 29 Feb within a year", K::ttYear, noon, {}, DaysOf({29}), {M::smFebruary}, 0, At(2023, 6, 1),
       At(2024, 2, 29, 12)},
      {"yearly 29 Feb beyond 366 days", K::ttYear, noon, {}, DaysOf({29}), {M::smFebruary}, 0, At(2024, 3, 1),
       At(2224, 3, 1)},
      {"yearly, no month", K::ttYear, noon, {}, DaysOf({1}), {}, 0, At(2024, 3, 1), At(2224, 3, 1)},
      {"once, equal to now", K::ttOne, noon, {}, {}, {}, At(2024, 1, 5), At(2024, 1, 5, 12), At(2024, 1, 5, 12)},
      {"once, passed", K::ttOne, noon, {}, {}, {}, At(2024, 1, 5), At(2024, 1, 5, 12, 0, 0, 1), At(2224, 1, 5)},
      {"once, ahead", K::ttOne, noon, {}, {}, {}, At(2024, 2, 1), At(2024, 1, 5, 12), At(2024, 2, 1, 12)},
      {"far future of 29 Feb", K::ttWeek, 0, {}, {}, {}, 0, At(2024, 2, 29, 1), At(2224, 2, 29)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TFixedClock clock(c.now);
    TZkThreadSaveTimering entry;
    entry.SetTimerType(c.kind);
    entry.SetTime(c.time);
    entry.SetDate(c.date);
    entry.SetDows(c.dows);
    entry.SetDays(c.days);
    entry.SetMonths(c.months);
    entry.RecalcTimer(clock);
    EXPECT_NEAR(entry.Timer(), c.expected, 1e-9);
  }
}

// The time of day from the clock and the entry's Time (exact, or with the
// 15 digits a job file keeps) differ by a rounding error; at the entry's own
// time a calendar entry must move on, not come due again, and a one-off
// entry must keep its moment.
TEST(Schedule, AnEntryRecomputedAtExactlyItsTimeMovesOnAndIsNotDueAgain) {
  struct Kind {
    const char* what;
    K kind;
    TZkSaveDows dows;
    TZkSaveDayList days;
    TZkSaveMonths months;
    TDateTime nextDay;  // from Friday 5 January 2024
  };
  const Kind kinds[] = {
      {"daily", K::ttDay, {}, {}, {}, At(2024, 1, 6)},
      {"weekly on Friday", K::ttWeek, {W::sdFriday}, {}, {}, At(2024, 1, 12)},
      {"monthly on the 5th", K::ttMonth, {}, DaysOf({5}), {}, At(2024, 2, 5)},
      {"yearly on 5 January", K::ttYear, {}, DaysOf({5}), {M::smJanuary}, At(2025, 1, 5)},
      {"once on 5 January", K::ttOne, {}, {}, {}, At(2024, 1, 5)},
  };
  const struct {
    int hour;
    int minute;
    const char* text;
  } times[] = {{7, 0, "07:00"}, {13, 0, "13:00"}, {22, 0, "22:00"}, {12, 50, "12:50"}};
  for (const Kind& kind : kinds) {
    for (const auto& t : times) {
      const TDateTime exact = EncodeTime(t.hour, t.minute, 0, 0);
      const TDateTime fromFile = std::stod(FloatToStr(exact, NeutralFormatSettings()));
      for (const TDateTime time : {exact, fromFile}) {
        SCOPED_TRACE(std::string(kind.what) + " at " + t.text + (time == exact ? "" : " as stored"));
        ScheduleFixture f;
        f.clock.Set(2024, 1, 5, t.hour, t.minute);
        f.entry.SetTimerType(kind.kind);
        f.entry.SetDate(At(2024, 1, 5));
        f.entry.SetDows(kind.dows);
        f.entry.SetDays(kind.days);
        f.entry.SetMonths(kind.months);
        f.entry.SetTime(time);
        f.entry.RecalcTimer();
        EXPECT_NEAR(f.entry.Timer(), kind.nextDay + exact, 1e-9);
        if (kind.kind != K::ttOne) {
          EXPECT_EQ(f.job.FiredTimerIndex(), -1);
        }
      }
    }
  }
}

TEST(Schedule, IntervalRunsFromTheMomentOfComputation) {
  ScheduleFixture f;
  f.clock.Set(2024, 1, 5, 10);
  f.entry.SetTimerType(K::ttTime);
  f.entry.SetInterval(180);
  f.entry.RecalcTimer();
  EXPECT_NEAR(f.entry.Timer(), At(2024, 1, 5, 13), 1e-9);
  f.entry.SetInterval(0);  // due again at every scan
  EXPECT_NEAR(f.entry.Timer(), At(2024, 1, 5, 10), 1e-9);
  EXPECT_EQ(f.job.FiredTimerIndex(), 0);
}

TEST(Schedule, SettersRecomputeOnlyOnAChangedValueAndTimerIgnoresWrites) {
  ScheduleFixture f;
  f.clock.Set(2024, 1, 5, 10);
  EXPECT_EQ(f.entry.Timer(), 0);  // never computed: due
  f.entry.SetTime(EncodeTime(12, 0, 0, 0));
  EXPECT_NEAR(f.entry.Timer(), At(2024, 1, 5, 12), 1e-9);

  f.clock.Set(2024, 1, 5, 13);
  f.entry.SetTime(EncodeTime(12, 0, 0, 0));  // the same value
  f.entry.SetTimerType(K::ttDay);
  EXPECT_NEAR(f.entry.Timer(), At(2024, 1, 5, 12), 1e-9);
  f.entry.SetTimer(42);
  EXPECT_NEAR(f.entry.Timer(), At(2024, 1, 5, 12), 1e-9);
  f.entry.SetTime(EncodeTime(12, 30, 0, 0));
  EXPECT_NEAR(f.entry.Timer(), At(2024, 1, 6, 12, 30), 1e-9);
}

TEST(Schedule, TheHighestDueEntryFiresAndDisableWinsOverRunNow) {
  ScheduleFixture f;
  f.clock.Set(2024, 1, 5, 10);
  TZkThreadSaveTimering& second = f.job.TimerList().Add();
  TZkThreadSaveTimering& third = f.job.TimerList().Add();
  f.job.RecalcTimers();  // all daily at 00:00: tomorrow
  EXPECT_EQ(f.job.FiredTimerIndex(), -1);
  EXPECT_FALSE(f.job.IsDue());

  f.clock.Set(2024, 1, 6, 0, 0, 1);
  EXPECT_EQ(f.job.FiredTimerIndex(), 2);
  third.RecalcTimer();
  EXPECT_EQ(f.job.FiredTimerIndex(), 1);
  second.RecalcTimer();
  f.entry.RecalcTimer();
  EXPECT_TRUE(f.job.IsNotDue());

  f.job.StartNow();
  EXPECT_TRUE(f.job.IsDue());
  f.job.Disable = true;
  EXPECT_FALSE(f.job.IsDue());
  EXPECT_TRUE(f.job.RunNow());
}

TEST(Schedule, CopiesKeepTheTimerAndRecalcAllTimersComputesEveryEntry) {
  ScheduleFixture f;
  f.clock.Set(2024, 1, 5, 10);
  f.entry.SetName("Nightly");
  f.entry.SetUpdateSaving(true);
  f.entry.DefineOutput().OutputFolder = "/elsewhere";
  TZkThreadSaveTimering copy;
  copy.Assign(f.entry);  // never computed: the copy is due too
  EXPECT_EQ(copy.Timer(), 0);
  EXPECT_EQ(copy.Name(), "Nightly");
  EXPECT_TRUE(copy.UpdateSaving());
  EXPECT_EQ(copy.DefineOutput().OutputFolder, "/elsewhere");
  EXPECT_EQ(copy.DefineOutput().Owner(), &copy);

  f.entry.SetTimerType(K::ttWeek);
  f.entry.SetDows({W::sdMonday});
  copy.Assign(f.entry);
  EXPECT_NEAR(copy.Timer(), At(2024, 1, 8), 1e-9);
  EXPECT_EQ(copy.Dows(), TZkSaveDows{W::sdMonday});

  f.engine.Saving().Add().TimerList().Add();
  f.engine.Saving().RecalcAllTimers();
  EXPECT_NEAR(f.engine.Saving().Items(1).TimerList().Items(0).Timer(), At(2024, 1, 6), 1e-9);
  EXPECT_EQ(copy.DisplayName(), "Nightly");
  EXPECT_EQ(TZkThreadSaveTimering().DisplayName(), "TZkThreadSaveTimering");
}

}  // namespace
}  // namespace zk::test
