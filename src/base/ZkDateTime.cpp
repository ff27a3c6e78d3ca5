#include "base/ZkDateTime.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>

#include "base/ZkError.h"

namespace zk {

namespace {

using namespace std::chrono;

constexpr std::int64_t kMsPerDay = 86'400'000;
constexpr sys_days kDayZero = sys_days{year{1899} / December / 30};
// Day numbers of 0001-01-01 and 9999-12-31, the dates the system can write.
constexpr std::int64_t kFirstDay = (sys_days{year{1} / January / 1} - kDayZero).count();
constexpr std::int64_t kLastDay = (sys_days{year{9999} / December / 31} - kDayZero).count();

struct TSplitMoment {
  std::int64_t Day = 0;
  std::int64_t MsOfDay = 0;
};

// Day number and millisecond of the day of a moment, rounded to the nearest
// millisecond. Moments that are not finite count as day 0; moments outside
// the writable dates are held at the first or last one, so decoding never
// leaves the calendar.
TSplitMoment Split(TDateTime moment) {
  if (!std::isfinite(moment)) return {};
  const double whole = std::trunc(moment);
  if (whole < static_cast<double>(kFirstDay)) return {kFirstDay, 0};
  if (whole > static_cast<double>(kLastDay)) return {kLastDay, kMsPerDay - 1};
  TSplitMoment split{static_cast<std::int64_t>(whole), std::llround(std::fabs(moment - whole) * kMsPerDay)};
  if (split.MsOfDay >= kMsPerDay) {
    if (split.Day < kLastDay) {
      ++split.Day;
      split.MsOfDay = 0;
    } else {
      split.MsOfDay = kMsPerDay - 1;
    }
  }
  return split;
}

sys_days DayOfNumber(std::int64_t day) { return kDayZero + days{day}; }

std::string TwoDigits(int value) { return (value < 10 ? "0" : "") + std::to_string(value); }

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
  if (year < 1 || year > 9999 || day < 1 || day > DaysInMonth(year, month)) return false;
  const sys_days date{std::chrono::year{year} / static_cast<unsigned>(month) / static_cast<unsigned>(day)};
  result = static_cast<TDateTime>((date - kDayZero).count());
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& result) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
      millisecond > 999) {
    return false;
  }
  const std::int64_t ms = ((hour * 60LL + minute) * 60 + second) * 1000 + millisecond;
  result = static_cast<TDateTime>(ms) / kMsPerDay;
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime result = 0;
  if (!TryEncodeDate(year, month, day, result)) {
    throw EZkConvertError("Érvénytelen dátum: " + std::to_string(year) + "." + TwoDigits(month) + "." + TwoDigits(day) +
                          ".");
  }
  return result;
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond) {
  TDateTime result = 0;
  if (!TryEncodeTime(hour, minute, second, millisecond, result)) {
    throw EZkConvertError("Érvénytelen időpont: " + std::to_string(hour) + ":" + TwoDigits(minute) + ":" +
                          TwoDigits(second) + "." + std::to_string(millisecond));
  }
  return result;
}

// Before day 0 the time of day is subtracted, so that the fraction still
// tells the time of day of the (negative) day.
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond) {
  const TDateTime date = EncodeDate(year, month, day);
  const TDateTime time = EncodeTime(hour, minute, second, millisecond);
  return date < 0 ? date - time : date + time;
}

TDateTimeParts DecodeDateTime(TDateTime moment) {
  const TSplitMoment split = Split(moment);
  const year_month_day date{DayOfNumber(split.Day)};
  TDateTimeParts parts;
  parts.Year = static_cast<int>(date.year());
  parts.Month = static_cast<int>(static_cast<unsigned>(date.month()));
  parts.Day = static_cast<int>(static_cast<unsigned>(date.day()));
  parts.Hour = static_cast<int>(split.MsOfDay / 3'600'000);
  parts.Minute = static_cast<int>(split.MsOfDay / 60'000 % 60);
  parts.Second = static_cast<int>(split.MsOfDay / 1000 % 60);
  parts.MilliSecond = static_cast<int>(split.MsOfDay % 1000);
  return parts;
}

// The weekday of the same (rounded) day that DecodeDateTime gives.
int DayOfWeek(TDateTime moment) { return static_cast<int>(weekday{DayOfNumber(Split(moment).Day)}.c_encoding()) + 1; }

TDateTime DateOf(TDateTime moment) { return std::trunc(moment); }

TDateTime TimeOf(TDateTime moment) { return std::fabs(moment - std::trunc(moment)); }

}  // namespace zk
