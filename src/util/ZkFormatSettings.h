#pragma once
// The locale texts of the system: decimal separator, short date and long time
// formats, month and weekday names. Programs read one value from the user's
// locale at start; tests construct the Hungarian and English values directly.

#include <array>
#include <string>
#include <string_view>

#include "base/ZkDateTime.h"

namespace zk {

struct TFormatSettings {
  char DecimalSeparator = '.';
  char DateSeparator = '/';
  char TimeSeparator = ':';
  // Date patterns use the letters y, m, d; time patterns h, n (minutes), s,
  // in either case. A letter's count gives the width: "yyyy" full year, "yy"
  // two digits, "m" / "mm" month number, "mmm" / "mmmm" short / long month
  // name, likewise "d".. "dddd" for the day and the weekday name; "h", "n",
  // "s" unpadded, doubled two digits (24-hour clock). "/" stands for
  // DateSeparator, ":" for TimeSeparator; any other byte is copied.
  std::string ShortDateFormat = "m/d/yyyy";
  std::string LongTimeFormat = "hh:nn:ss";
  std::array<std::string, 12> ShortMonthNames;
  std::array<std::string, 12> LongMonthNames;
  // Index 0 is Sunday.
  std::array<std::string, 7> ShortDayNames;
  std::array<std::string, 7> LongDayNames;

  static TFormatSettings English();
  static TFormatSettings Hungarian();
  // Read from the user's locale (the environment's LC_* variables), whatever
  // locale the process itself has selected. English where the locale gives
  // nothing usable: no locale, a decimal separator of more than one byte,
  // names that are not UTF-8, or a date or time format whose text does not
  // read back as the same value (names, missing fields, other literal text).
  // A two-digit year in the locale's date format is written in full.
  static TFormatSettings FromUserLocale();
};

// The settings read from the user's locale the first time they are asked for.
const TFormatSettings& UserFormatSettings();
// Fixed English settings, for texts that must not follow the locale (time
// stamps and names made of numbers).
const TFormatSettings& NeutralFormatSettings();

// General format with at most 15 significant digits, the settings' decimal
// separator and no thousands separators; exponent form ("1,5E-5", "1E15") when
// the magnitude is below 0.0001 or at least 10^15.
std::string FloatToStr(double value, const TFormatSettings& settings);

std::string DateToStr(TDateTime moment, const TFormatSettings& settings);
std::string TimeToStr(TDateTime moment, const TFormatSettings& settings);
// Date, a blank and time; the time is left out when it is exactly midnight.
std::string DateTimeToStr(TDateTime moment, const TFormatSettings& settings);
// Formats with a pattern in the letters described above.
std::string FormatDateTime(std::string_view pattern, TDateTime moment, const TFormatSettings& settings);

// Parsing in the settings' formats: the date's fields are read in the order
// of ShortDateFormat, separated by DateSeparator (blanks tolerated around
// them, one trailing separator allowed); a two-digit year lies within 50
// years of 2000. The time is hours, minutes and optional seconds separated by
// TimeSeparator. False on anything else, the result untouched.
bool TryStrToDate(std::string_view text, const TFormatSettings& settings, TDateTime& result);
bool TryStrToTime(std::string_view text, const TFormatSettings& settings, TDateTime& result);
bool TryStrToDateTime(std::string_view text, const TFormatSettings& settings, TDateTime& result);

}  // namespace zk
