#include "util/ZkFormatSettings.h"

#include <langinfo.h>
#include <locale.h>

#include <charconv>
#include <cmath>
#include <cstddef>
#include <optional>
#include <string>
#include <system_error>

#include "util/ZkUtil.h"

namespace zk {

namespace {

constexpr char kBlank = ' ';

// ---- Reading the user's locale -------------------------------------------

class TLocaleHandle {
public:
  TLocaleHandle() : locale_(newlocale(LC_ALL_MASK, "", static_cast<locale_t>(nullptr))) {}
  ~TLocaleHandle() {
    if (locale_ != static_cast<locale_t>(nullptr)) freelocale(locale_);
  }
  TLocaleHandle(const TLocaleHandle&) = delete;
  TLocaleHandle& operator=(const TLocaleHandle&) = delete;

  bool Valid() const { return locale_ != static_cast<locale_t>(nullptr); }
  std::string Item(nl_item item) const {
    const char* text = nl_langinfo_l(item, locale_);
    return text != nullptr ? std::string(text) : std::string();
  }

private:
  locale_t locale_;
};

// A locale name replaces the English one only when it is usable text: a
// locale in a legacy code page would otherwise put non-UTF-8 bytes into
// file names and logs.
void TakeName(std::string& name, const std::string& fromLocale) {
  if (!fromLocale.empty() && IsValidUtf8(fromLocale)) name = fromLocale;
}

struct TConvertedFormat {
  std::string Pattern;
  std::optional<char> Separator;
};

// Composite conversions spelled out in the simple ones. The 12-hour forms
// become 24-hour ones because the patterns have no AM/PM marker.
std::string ExpandComposites(std::string_view format) {
  std::string result;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%' || i + 1 >= format.size()) {
      result += format[i];
      continue;
    }
    const char conversion = format[i + 1];
    if (conversion == 'D') {
      result += "%m/%d/%y";
    } else if (conversion == 'F') {
      result += "%Y-%m-%d";
    } else if (conversion == 'T' || conversion == 'r') {
      result += "%H:%M:%S";
    } else if (conversion == 'R') {
      result += "%H:%M";
    } else {
      result += format.substr(i, 2);
    }
    ++i;
  }
  return result;
}

// Turns a strftime pattern into the pattern letters of TFormatSettings. The
// separator is the first non-blank literal byte after a field; it is written
// as separatorLetter ('/' or ':') so the pattern follows the settings. A
// two-digit year becomes the full year, so that written dates read back in
// any century; "%I" and "%l" give the 24-hour clock, as there is no AM/PM
// letter. Conversions without a counterpart are left out.
TConvertedFormat ConvertStrftime(std::string_view format, char separatorLetter) {
  const std::string expanded = ExpandComposites(format);
  TConvertedFormat converted;
  bool afterField = false;
  std::size_t i = 0;
  while (i < expanded.size()) {
    const char c = expanded[i];
    if (c != '%') {
      if (c != kBlank && afterField && !converted.Separator && static_cast<unsigned char>(c) < 0x80) {
        converted.Separator = c;
      }
      converted.Pattern += converted.Separator && c == *converted.Separator ? separatorLetter : c;
      ++i;
      continue;
    }
    ++i;
    bool padded = true;
    while (i < expanded.size() && std::string_view("_-0^#").find(expanded[i]) != std::string_view::npos) {
      if (expanded[i] == '-' || expanded[i] == '_') padded = false;
      ++i;
    }
    while (i < expanded.size() && (IsDigit(expanded[i]) || expanded[i] == 'E' || expanded[i] == 'O')) ++i;
    if (i >= expanded.size()) break;
    const char conversion = expanded[i++];
    std::string letters;
    switch (conversion) {
      case 'Y':
      case 'y':
        letters = "yyyy";
        break;
      case 'm':
        letters = padded ? "mm" : "m";
        break;
      case 'd':
        letters = padded ? "dd" : "d";
        break;
      case 'e':
        letters = "d";
        break;
      case 'H':
      case 'I':
        letters = padded ? "hh" : "h";
        break;
      case 'k':
      case 'l':
        letters = "h";
        break;
      case 'M':
        letters = padded ? "nn" : "n";
        break;
      case 'S':
        letters = padded ? "ss" : "s";
        break;
      case 'b':
      case 'h':
        letters = "mmm";
        break;
      case 'B':
        letters = "mmmm";
        break;
      case 'a':
        letters = "ddd";
        break;
      case 'A':
        letters = "dddd";
        break;
      case '%':
        converted.Pattern += '%';
        break;
      case 'n':
      case 't':
        converted.Pattern += kBlank;
        break;
      default:
        break;
    }
    if (!letters.empty()) {
      converted.Pattern += letters;
      afterField = true;
    }
  }
  const std::size_t first = converted.Pattern.find_first_not_of(kBlank);
  converted.Pattern = first == std::string::npos ? std::string() : TrimRightBlanks(converted.Pattern.substr(first));
  return converted;
}

// A locale format is taken only when what it writes reads back as the same
// value. The samples have distinct day and month and a non-zero second, so a
// format that swaps or drops a field fails.
bool DateFormatReadsBack(const TFormatSettings& settings) {
  const TDateTime sample = EncodeDate(2024, 11, 23);
  TDateTime back = 0;
  return TryStrToDate(DateToStr(sample, settings), settings, back) && back == sample;
}

bool TimeFormatReadsBack(const TFormatSettings& settings) {
  const TDateTime sample = EncodeTime(21, 47, 59, 0);
  TDateTime back = 0;
  return TryStrToTime(TimeToStr(sample, settings), settings, back) && back == sample;
}

// ---- Formatting ----------------------------------------------------------

std::string FormatRun(char letter, std::size_t count, const TDateTimeParts& parts, int weekDay,
                      const TFormatSettings& settings) {
  switch (letter) {
    case 'y':
      return count <= 2 ? PadNumber(parts.Year % 100, 2) : PadNumber(parts.Year, 4);
    case 'm':
      if (count >= 4) return settings.LongMonthNames[static_cast<std::size_t>(parts.Month - 1)];
      if (count == 3) return settings.ShortMonthNames[static_cast<std::size_t>(parts.Month - 1)];
      return PadNumber(parts.Month, count);
    case 'd':
      if (count >= 4) return settings.LongDayNames[static_cast<std::size_t>(weekDay - 1)];
      if (count == 3) return settings.ShortDayNames[static_cast<std::size_t>(weekDay - 1)];
      return PadNumber(parts.Day, count);
    case 'h':
      return PadNumber(parts.Hour, count >= 2 ? 2 : 1);
    case 'n':
      return PadNumber(parts.Minute, count >= 2 ? 2 : 1);
    default:
      return PadNumber(parts.Second, count >= 2 ? 2 : 1);
  }
}

// ---- Parsing -------------------------------------------------------------

class TScanner {
public:
  explicit TScanner(std::string_view text) : text_(text) {}

  void SkipBlanks() {
    while (pos_ < text_.size() && text_[pos_] == kBlank) ++pos_;
  }
  bool Take(char c) {
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  // A run of 1 to maxDigits digits; a longer run is no field of ours.
  bool Number(std::size_t maxDigits, int& value, std::size_t& digits) {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
    digits = pos_ - start;
    if (digits == 0 || digits > maxDigits) return false;
    std::from_chars(text_.data() + start, text_.data() + pos_, value);
    return true;
  }
  bool AtEnd() const { return pos_ == text_.size(); }

private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

constexpr std::size_t kMaxDateFieldDigits = 4;
constexpr std::size_t kMaxTimeFieldDigits = 2;
constexpr int kCenturyPivot = 50;

// The order in which y, m and d first appear in the short date format.
std::optional<std::string> DateFieldOrder(std::string_view pattern) {
  std::string order;
  for (const char c : pattern) {
    const char letter = LowerAscii(c);
    if ((letter == 'y' || letter == 'm' || letter == 'd') && order.find(letter) == std::string::npos) {
      order += letter;
    }
  }
  if (order.size() != 3) return std::nullopt;
  return order;
}

TDateTime CombineDateTime(TDateTime date, TDateTime time) { return date < 0 ? date - time : date + time; }

}  // namespace

TFormatSettings TFormatSettings::English() {
  TFormatSettings s;
  s.DecimalSeparator = '.';
  s.DateSeparator = '/';
  s.TimeSeparator = ':';
  s.ShortDateFormat = "m/d/yyyy";
  s.LongTimeFormat = "hh:nn:ss";
  s.ShortMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  s.LongMonthNames = {"January", "February", "March",     "April",   "May",      "June",
                      "July",    "August",   "September", "October", "November", "December"};
  s.ShortDayNames = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  s.LongDayNames = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  return s;
}

// Hours without a leading zero, as Hungarian texts write the time of day.
TFormatSettings TFormatSettings::Hungarian() {
  TFormatSettings s;
  s.DecimalSeparator = ',';
  s.DateSeparator = '.';
  s.TimeSeparator = ':';
  s.ShortDateFormat = "yyyy.mm.dd.";
  s.LongTimeFormat = "h:nn:ss";
  s.ShortMonthNames = {"jan.", "febr.", "márc.",  "ápr.", "máj.", "jún.",
                       "júl.", "aug.",  "szept.", "okt.", "nov.", "dec."};
  s.LongMonthNames = {"január", "február",   "március",    "április", "május",    "június",
                      "július", "augusztus", "szeptember", "október", "november", "december"};
  s.ShortDayNames = {"V", "H", "K", "Sze", "Cs", "P", "Szo"};
  s.LongDayNames = {"vasárnap", "hétfő", "kedd", "szerda", "csütörtök", "péntek", "szombat"};
  return s;
}

TFormatSettings TFormatSettings::FromUserLocale() {
  TFormatSettings s = English();
  const TLocaleHandle locale;
  if (!locale.Valid()) return s;

  const std::string radix = locale.Item(RADIXCHAR);
  if (radix.size() == 1 && !IsDigit(radix[0])) s.DecimalSeparator = radix[0];

  const TConvertedFormat date = ConvertStrftime(locale.Item(D_FMT), '/');
  if (date.Separator) {
    TFormatSettings candidate = s;
    candidate.ShortDateFormat = date.Pattern;
    candidate.DateSeparator = *date.Separator;
    if (DateFormatReadsBack(candidate)) s = candidate;
  }
  const TConvertedFormat time = ConvertStrftime(locale.Item(T_FMT), ':');
  if (time.Separator) {
    TFormatSettings candidate = s;
    candidate.LongTimeFormat = time.Pattern;
    candidate.TimeSeparator = *time.Separator;
    if (TimeFormatReadsBack(candidate)) s = candidate;
  }

  static constexpr nl_item kMonths[12] = {MON_1, MON_2, MON_3, MON_4,  MON_5,  MON_6,
                                          MON_7, MON_8, MON_9, MON_10, MON_11, MON_12};
  static constexpr nl_item kShortMonths[12] = {ABMON_1, ABMON_2, ABMON_3, ABMON_4,  ABMON_5,  ABMON_6,
                                               ABMON_7, ABMON_8, ABMON_9, ABMON_10, ABMON_11, ABMON_12};
  static constexpr nl_item kDays[7] = {DAY_1, DAY_2, DAY_3, DAY_4, DAY_5, DAY_6, DAY_7};
  static constexpr nl_item kShortDays[7] = {ABDAY_1, ABDAY_2, ABDAY_3, ABDAY_4, ABDAY_5, ABDAY_6, ABDAY_7};
  for (std::size_t i = 0; i < 12; ++i) {
    TakeName(s.LongMonthNames[i], locale.Item(kMonths[i]));
    TakeName(s.ShortMonthNames[i], locale.Item(kShortMonths[i]));
  }
  for (std::size_t i = 0; i < 7; ++i) {
    TakeName(s.LongDayNames[i], locale.Item(kDays[i]));
    TakeName(s.ShortDayNames[i], locale.Item(kShortDays[i]));
  }
  return s;
}

const TFormatSettings& UserFormatSettings() {
  static const TFormatSettings settings = TFormatSettings::FromUserLocale();
  return settings;
}

const TFormatSettings& NeutralFormatSettings() {
  static const TFormatSettings settings = TFormatSettings::English();
  return settings;
}

// The digits come from to_chars, which ignores the C locale, in the shape of
// printf's %.15G; only the separator and the exponent are rewritten.
std::string FloatToStr(double value, const TFormatSettings& settings) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";
  char buffer[64];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  if (error != std::errc()) return "0";
  const std::string_view digits(buffer, static_cast<std::size_t>(end - buffer));
  const std::size_t exponentPos = digits.find('e');
  std::string result(digits.substr(0, exponentPos));
  for (char& c : result) {
    if (c == '.') c = settings.DecimalSeparator;
  }
  if (exponentPos != std::string_view::npos) {
    std::string_view exponent = digits.substr(exponentPos + 1);
    result += 'E';
    if (!exponent.empty() && (exponent.front() == '+' || exponent.front() == '-')) {
      if (exponent.front() == '-') result += '-';
      exponent.remove_prefix(1);
    }
    const std::size_t firstNonZero = exponent.find_first_not_of('0');
    result += firstNonZero == std::string_view::npos ? std::string_view("0") : exponent.substr(firstNonZero);
  }
  return result;
}

std::string FormatDateTime(std::string_view pattern, TDateTime moment, const TFormatSettings& settings) {
  const TDateTimeParts parts = DecodeDateTime(moment);
  const int weekDay = DayOfWeek(moment);
  std::string result;
  std::size_t i = 0;
  while (i < pattern.size()) {
    const char c = pattern[i];
    const char letter = LowerAscii(c);
    if (std::string_view("ymdhns").find(letter) != std::string_view::npos) {
      std::size_t count = 1;
      while (i + count < pattern.size() && LowerAscii(pattern[i + count]) == letter) ++count;
      result += FormatRun(letter, count, parts, weekDay, settings);
      i += count;
    } else {
      result += c == '/' ? settings.DateSeparator : c == ':' ? settings.TimeSeparator : c;
      ++i;
    }
  }
  return result;
}

std::string DateToStr(TDateTime moment, const TFormatSettings& settings) {
  return FormatDateTime(settings.ShortDateFormat, moment, settings);
}

std::string TimeToStr(TDateTime moment, const TFormatSettings& settings) {
  return FormatDateTime(settings.LongTimeFormat, moment, settings);
}

// Midnight is judged on the rounded time that would be written, so a moment
// a fraction of a millisecond after midnight is written without a time too.
std::string DateTimeToStr(TDateTime moment, const TFormatSettings& settings) {
  const TDateTimeParts parts = DecodeDateTime(moment);
  std::string result = DateToStr(moment, settings);
  if (parts.Hour != 0 || parts.Minute != 0 || parts.Second != 0 || parts.MilliSecond != 0) {
    result += kBlank;
    result += TimeToStr(moment, settings);
  }
  return result;
}

bool TryStrToDate(std::string_view text, const TFormatSettings& settings, TDateTime& result) {
  const std::optional<std::string> order = DateFieldOrder(settings.ShortDateFormat);
  if (!order) return false;
  TScanner scanner(text);
  int year = 0;
  int month = 0;
  int day = 0;
  std::size_t yearDigits = 0;
  scanner.SkipBlanks();
  for (std::size_t k = 0; k < order->size(); ++k) {
    if (k > 0) {
      scanner.SkipBlanks();
      if (!scanner.Take(settings.DateSeparator)) return false;
      scanner.SkipBlanks();
    }
    std::size_t digits = 0;
    int& field = (*order)[k] == 'y' ? year : (*order)[k] == 'm' ? month : day;
    if (!scanner.Number(kMaxDateFieldDigits, field, digits)) return false;
    if ((*order)[k] == 'y') yearDigits = digits;
  }
  scanner.SkipBlanks();
  if (scanner.Take(settings.DateSeparator)) scanner.SkipBlanks();
  if (!scanner.AtEnd()) return false;
  if (yearDigits <= 2) year += year < kCenturyPivot ? 2000 : 1900;
  return TryEncodeDate(year, month, day, result);
}

bool TryStrToTime(std::string_view text, const TFormatSettings& settings, TDateTime& result) {
  TScanner scanner(text);
  int hour = 0;
  int minute = 0;
  int second = 0;
  std::size_t digits = 0;
  scanner.SkipBlanks();
  if (!scanner.Number(kMaxTimeFieldDigits, hour, digits) || !scanner.Take(settings.TimeSeparator) ||
      !scanner.Number(kMaxTimeFieldDigits, minute, digits)) {
    return false;
  }
  if (scanner.Take(settings.TimeSeparator) && !scanner.Number(kMaxTimeFieldDigits, second, digits)) return false;
  scanner.SkipBlanks();
  if (!scanner.AtEnd()) return false;
  return TryEncodeTime(hour, minute, second, 0, result);
}

// The date may hold blanks of its own (around its separators), so every run
// of blanks is tried as the border between the date and the time.
bool TryStrToDateTime(std::string_view text, const TFormatSettings& settings, TDateTime& result) {
  if (TryStrToDate(text, settings, result)) return true;
  const std::size_t first = text.find_first_not_of(kBlank);
  if (first == std::string_view::npos) return false;
  for (std::size_t border = text.find(kBlank, first); border != std::string_view::npos;
       border = text.find(kBlank, text.find_first_not_of(kBlank, border))) {
    TDateTime date = 0;
    TDateTime time = 0;
    if (TryStrToDate(text.substr(0, border), settings, date) && TryStrToTime(text.substr(border), settings, time)) {
      result = CombineDateTime(date, time);
      return true;
    }
  }
  return false;
}

}  // namespace zk
