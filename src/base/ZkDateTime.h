#pragma once
// Date-time values: days since 1899-12-30 with the time of day as the
// fraction, local time. A negative value counts whole days backwards from day
// 0 while its fraction still tells the time of day (-1.25 is 1899-12-29 06:00).

namespace zk {

using TDateTime = double;

struct TDateTimeParts {
  int Year = 1899;
  int Month = 12;
  int Day = 30;
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
  int MilliSecond = 0;
};

// False (and the result untouched) for a date outside 1..9999 or a day the
// month does not have.
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
// False for hour > 23, minute > 59, second > 59 or millisecond > 999.
bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& result);
// Throws EZkConvertError where the Try form returns false.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond);

// Splits a moment, rounding to the nearest millisecond (a time that rounds up
// to midnight moves to the next day).
TDateTimeParts DecodeDateTime(TDateTime moment);

// 1 = Sunday ... 7 = Saturday.
int DayOfWeek(TDateTime moment);
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// The whole-day part and the time-of-day part of a moment.
TDateTime DateOf(TDateTime moment);
TDateTime TimeOf(TDateTime moment);

}  // namespace zk
