#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "base/ZkDateTime.h"
#include "base/ZkError.h"

namespace zk {
namespace {

constexpr double kMsPerDay = 86'400'000.0;

void ExpectParts(const TDateTimeParts& p, int year, int month, int day, int hour, int minute, int second, int ms) {
  EXPECT_EQ(p.Year, year);
  EXPECT_EQ(p.Month, month);
  EXPECT_EQ(p.Day, day);
  EXPECT_EQ(p.Hour, hour);
  EXPECT_EQ(p.Minute, minute);
  EXPECT_EQ(p.Second, second);
  EXPECT_EQ(p.MilliSecond, ms);
}

TEST(ZkDateTime, DatesAndTheirDayNumbers) {
  struct Case {
    int Year;
    int Month;
    int Day;
    double Number;
    int WeekDay;
  };
  const Case cases[] = {
      {1899, 12, 30, 0, 7},    {1899, 12, 31, 1, 1},   {1900, 1, 1, 2, 2},
      {1899, 12, 29, -1, 6},   {2008, 1, 1, 39448, 3}, {2024, 1, 5, 45296, 6},
      {2000, 2, 29, 36585, 3}, {1, 1, 1, -693593, 2},  {9999, 12, 31, 2958465, 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.Year) + "-" + std::to_string(c.Month) + "-" + std::to_string(c.Day));
    TDateTime value = -99;
    ASSERT_TRUE(TryEncodeDate(c.Year, c.Month, c.Day, value));
    EXPECT_EQ(value, c.Number);
    EXPECT_EQ(EncodeDate(c.Year, c.Month, c.Day), c.Number);
    ExpectParts(DecodeDateTime(c.Number), c.Year, c.Month, c.Day, 0, 0, 0, 0);
    EXPECT_EQ(DayOfWeek(c.Number), c.WeekDay);
  }
}

TEST(ZkDateTime, InvalidDatesAndTimesAreRejected) {
  struct DateCase {
    int Year;
    int Month;
    int Day;
  };
  const DateCase dates[] = {{2023, 2, 29}, {1900, 2, 29}, {2024, 4, 31}, {2024, 1, 0}, {2024, 0, 1},
                            {2024, 13, 1}, {0, 1, 1},     {10000, 1, 1}, {-5, 1, 1}};
  for (const DateCase& c : dates) {
    SCOPED_TRACE(std::to_string(c.Year) + "-" + std::to_string(c.Month) + "-" + std::to_string(c.Day));
    TDateTime value = 123.5;
    EXPECT_FALSE(TryEncodeDate(c.Year, c.Month, c.Day, value));
    EXPECT_EQ(value, 123.5);
    EXPECT_THROW(EncodeDate(c.Year, c.Month, c.Day), EZkConvertError);
  }
  struct TimeCase {
    int Hour;
    int Minute;
    int Second;
    int Ms;
  };
  const TimeCase times[] = {{24, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000}, {-1, 0, 0, 0}, {0, 0, 0, -1}};
  for (const TimeCase& c : times) {
    SCOPED_TRACE(std::to_string(c.Hour) + ":" + std::to_string(c.Minute) + ":" + std::to_string(c.Second) + "." +
                 std::to_string(c.Ms));
    TDateTime value = 123.5;
    EXPECT_FALSE(TryEncodeTime(c.Hour, c.Minute, c.Second, c.Ms, value));
    EXPECT_EQ(value, 123.5);
    EXPECT_THROW(EncodeTime(c.Hour, c.Minute, c.Second, c.Ms), EZkConvertError);
  }
  EXPECT_THROW(EncodeDateTime(2024, 1, 5, 24, 0, 0, 0), EZkConvertError);
}

TEST(ZkDateTime, TimesOfDay) {
  EXPECT_EQ(EncodeTime(0, 0, 0, 0), 0);
  EXPECT_EQ(EncodeTime(18, 0, 0, 0), 0.75);
  EXPECT_EQ(EncodeTime(23, 59, 59, 999), (kMsPerDay - 1) / kMsPerDay);
  ExpectParts(DecodeDateTime(EncodeDateTime(2024, 1, 5, 9, 7, 3, 456)), 2024, 1, 5, 9, 7, 3, 456);
  ExpectParts(DecodeDateTime(EncodeDateTime(2024, 12, 31, 23, 59, 59, 999)), 2024, 12, 31, 23, 59, 59, 999);
}

TEST(ZkDateTime, NegativeMomentsKeepTheTimeOfDayInTheFraction) {
  EXPECT_EQ(EncodeDateTime(1899, 12, 29, 6, 0, 0, 0), -1.25);
  ExpectParts(DecodeDateTime(-1.25), 1899, 12, 29, 6, 0, 0, 0);
  // Whole days count toward zero, so -0.5 is noon of day 0 like 0.5.
  ExpectParts(DecodeDateTime(-0.5), 1899, 12, 30, 12, 0, 0, 0);
  ExpectParts(DecodeDateTime(-2.75), 1899, 12, 28, 18, 0, 0, 0);
  EXPECT_EQ(DateOf(-1.25), -1);
  EXPECT_EQ(TimeOf(-1.25), 0.25);
  EXPECT_EQ(DateOf(45296.75), 45296);
  EXPECT_EQ(TimeOf(45296.75), 0.75);
  const TDateTime early = EncodeDateTime(1, 1, 1, 13, 30, 0, 0);
  ExpectParts(DecodeDateTime(early), 1, 1, 1, 13, 30, 0, 0);
}

TEST(ZkDateTime, RoundsToTheNearestMillisecond) {
  const TDateTime day = EncodeDate(2024, 1, 5);
  const TDateTime base = EncodeDateTime(2024, 1, 5, 9, 7, 3, 0);
  ExpectParts(DecodeDateTime(base + 0.4 / kMsPerDay), 2024, 1, 5, 9, 7, 3, 0);
  ExpectParts(DecodeDateTime(base + 0.6 / kMsPerDay), 2024, 1, 5, 9, 7, 3, 1);
  // A time that rounds up to midnight belongs to the next day, weekday included.
  const TDateTime almostMidnight = day + (kMsPerDay - 0.4) / kMsPerDay;
  ExpectParts(DecodeDateTime(almostMidnight), 2024, 1, 6, 0, 0, 0, 0);
  EXPECT_EQ(DayOfWeek(almostMidnight), 7);
  ExpectParts(DecodeDateTime(2958465 + (kMsPerDay - 0.4) / kMsPerDay), 9999, 12, 31, 23, 59, 59, 999);
  // Before day 0 the carry also moves to the following calendar day.
  ExpectParts(DecodeDateTime(-1 - (kMsPerDay - 0.4) / kMsPerDay), 1899, 12, 30, 0, 0, 0, 0);
}

TEST(ZkDateTime, MomentsOutsideTheCalendarStayInside) {
  ExpectParts(DecodeDateTime(std::numeric_limits<double>::quiet_NaN()), 1899, 12, 30, 0, 0, 0, 0);
  ExpectParts(DecodeDateTime(std::numeric_limits<double>::infinity()), 1899, 12, 30, 0, 0, 0, 0);
  ExpectParts(DecodeDateTime(1e300), 9999, 12, 31, 23, 59, 59, 999);
  ExpectParts(DecodeDateTime(-1e300), 1, 1, 1, 0, 0, 0, 0);
  EXPECT_EQ(DayOfWeek(1e300), 6);
  EXPECT_EQ(DayOfWeek(std::numeric_limits<double>::quiet_NaN()), 7);
}

TEST(ZkDateTime, LeapYearsAndMonthLengths) {
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_TRUE(IsLeapYear(2024));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_FALSE(IsLeapYear(2023));
  EXPECT_EQ(DaysInMonth(2024, 2), 29);
  EXPECT_EQ(DaysInMonth(2023, 2), 28);
  EXPECT_EQ(DaysInMonth(2023, 12), 31);
  EXPECT_EQ(DaysInMonth(2023, 11), 30);
  EXPECT_EQ(DaysInMonth(2023, 0), 0);
  EXPECT_EQ(DaysInMonth(2023, 13), 0);
}

}  // namespace
}  // namespace zk
