#include "util/ZkUtil.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string>
#include <system_error>

#include "platform/ZkCommandLine.h"

namespace zk {

namespace {

constexpr char kBlank = ' ';
constexpr std::size_t kMaxSwitchValue = 255;

int Length(std::string_view text) { return static_cast<int>(text.size()); }

// Exact comparison of sub with the text at the 1-based position pos.
bool MatchesAt(std::string_view text, std::string_view sub, int pos) {
  return text.compare(static_cast<std::size_t>(pos - 1), sub.size(), sub) == 0;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The integer reading shared by LeadingInt and LeadingInt64. Digits wrap
// around in 64 bits instead of overflowing, so any text gives a value.
std::uint64_t ReadLeadingInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == kBlank) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::size_t hexStart = std::string_view::npos;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    hexStart = i + 1;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hexStart = i + 2;
  }
  std::uint64_t value = 0;
  if (hexStart != std::string_view::npos) {
    for (std::size_t j = hexStart; j < text.size() && HexDigitValue(text[j]) >= 0; ++j) {
      value = value * 16 + static_cast<std::uint64_t>(HexDigitValue(text[j]));
    }
  } else {
    for (std::size_t j = i; j < text.size() && IsDigit(text[j]); ++j) {
      value = value * 10 + static_cast<std::uint64_t>(text[j] - '0');
    }
  }
  return negative ? 0 - value : value;
}

std::size_t SkipDigits(std::string_view text, std::size_t i) {
  while (i < text.size() && IsDigit(text[i])) ++i;
  return i;
}

enum class TMaskField {
  Year,
  YearOfCentury,
  LongMonth,
  ShortMonth,
  Month,
  LongDay,
  ShortDay,
  Day,
  Hour,
  Minute,
  Second
};

struct TMaskToken {
  std::string_view Token;
  TMaskField Field;
  std::size_t Width;  // of a number, zero-padded
};

// Tried in this order at every position of the format, so a longer token
// wins over its own prefix.
constexpr std::array<TMaskToken, 16> kMaskTokens = {{
    {"YYYY", TMaskField::Year, 4},
    {"YY", TMaskField::YearOfCentury, 2},
    {"MMMM", TMaskField::LongMonth, 0},
    {"MMM", TMaskField::ShortMonth, 0},
    {"MM", TMaskField::Month, 2},
    {"M", TMaskField::Month, 1},
    {"DDDD", TMaskField::LongDay, 0},
    {"DDD", TMaskField::ShortDay, 0},
    {"DD", TMaskField::Day, 2},
    {"D", TMaskField::Day, 1},
    {"HH", TMaskField::Hour, 2},
    {"H", TMaskField::Hour, 1},
    {"PP", TMaskField::Minute, 2},
    {"P", TMaskField::Minute, 1},
    {"SS", TMaskField::Second, 2},
    {"S", TMaskField::Second, 1},
}};

std::string MaskText(const TMaskToken& token, const TDateTimeParts& parts, int weekDay,
                     const TFormatSettings& settings) {
  const auto month = static_cast<std::size_t>(parts.Month - 1);
  const auto day = static_cast<std::size_t>(weekDay - 1);
  switch (token.Field) {
    case TMaskField::Year:
      return PadNumber(parts.Year, token.Width);
    case TMaskField::YearOfCentury:
      return PadNumber(parts.Year % 100, token.Width);
    case TMaskField::LongMonth:
      return settings.LongMonthNames[month];
    case TMaskField::ShortMonth:
      return settings.ShortMonthNames[month];
    case TMaskField::Month:
      return PadNumber(parts.Month, token.Width);
    case TMaskField::LongDay:
      return settings.LongDayNames[day];
    case TMaskField::ShortDay:
      return settings.ShortDayNames[day];
    case TMaskField::Day:
      return PadNumber(parts.Day, token.Width);
    case TMaskField::Hour:
      return PadNumber(parts.Hour, token.Width);
    case TMaskField::Minute:
      return PadNumber(parts.Minute, token.Width);
    case TMaskField::Second:
      break;
  }
  return PadNumber(parts.Second, token.Width);
}

}  // namespace

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string PadNumber(int value, std::size_t width) {
  std::string digits = std::to_string(value);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return digits;
}

std::string FormatDateMask(std::string_view format, TDateTime moment, const TFormatSettings& settings) {
  const TDateTimeParts parts = DecodeDateTime(moment);
  const int weekDay = DayOfWeek(moment);
  std::string result;
  std::size_t i = 0;
  while (i < format.size()) {
    const std::string_view rest = format.substr(i);
    const auto token = std::find_if(kMaskTokens.begin(), kMaskTokens.end(),
                                    [rest](const TMaskToken& t) { return StartsWithIgnoringCase(rest, t.Token); });
    if (token != kMaskTokens.end()) {
      result += MaskText(*token, parts, weekDay, settings);
      i += token->Token.size();
    } else {
      result += format[i];
      ++i;
    }
  }
  return result;
}

// With fewer than n-1 separators the start falls back to the separator's
// length, so the "field" is (nearly) the whole text: field 3 of 'a;b' is
// 'a;b'. Callers that want an empty missing field append separators first.
std::string FieldOf(std::string_view text, std::string_view separator, int n) {
  if (n < 1 || text.empty()) return {};
  int start = 1;
  if (n > 1) start = std::max(1, PosOfNth(text, separator, n - 1, 0, 1) + Length(separator));
  if (start > Length(text)) return {};
  int end = PosOfNth(text, separator, n, 0, 1);
  if (end == 0) end = Length(text) + 1;
  return std::string(text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(end - start)));
}

int PosOfNth(std::string_view text, std::string_view sub, int n, int limit, int start) {
  if (sub.empty() || n < 1) return 0;
  const int end = limit != 0 ? std::min(limit, Length(text)) : Length(text);
  int found = 0;
  int pos = std::max(1, start);
  while (pos + Length(sub) - 1 <= end) {
    if (MatchesAt(text, sub, pos)) {
      if (++found == n) return pos;
      pos += Length(sub);
    } else {
      ++pos;
    }
  }
  return 0;
}

int PosOfNthFromEnd(std::string_view text, std::string_view sub, int n, int limit, int start) {
  if (sub.empty() || n < 1) return 0;
  const int end = limit != 0 ? std::min(limit, Length(text)) : Length(text);
  const int first = std::max(1, start);
  int found = 0;
  int pos = end - Length(sub) + 1;
  while (pos >= first) {
    if (MatchesAt(text, sub, pos)) {
      if (++found == n) return pos;
      pos -= Length(sub);
    } else {
      --pos;
    }
  }
  return 0;
}

int CountOf(std::string_view text, std::string_view sub) {
  if (sub.empty()) return 0;
  int count = 0;
  for (std::size_t pos = text.find(sub); pos != std::string_view::npos; pos = text.find(sub, pos + sub.size())) {
    ++count;
  }
  return count;
}

std::string ReplaceText(std::string_view text, std::string_view sub, std::string_view replacement) {
  if (sub.empty()) return std::string(text);
  std::string result;
  std::size_t i = 0;
  while (i < text.size()) {
    if (StartsWithIgnoringCase(text.substr(i), sub)) {
      result += replacement;
      i += sub.size();
    } else {
      result += text[i];
      ++i;
    }
  }
  return result;
}

std::string LeftPart(std::string_view text, int n) {
  if (n <= 0) return {};
  return std::string(text.substr(0, static_cast<std::size_t>(n)));
}

std::string RightPart(std::string_view text, int n) {
  if (n <= 0) return {};
  const std::size_t count = std::min(text.size(), static_cast<std::size_t>(n));
  return std::string(text.substr(text.size() - count));
}

std::string IfThenStr(bool condition, std::string_view a, std::string_view b) { return std::string(condition ? a : b); }

bool IsBlank(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) <= 32; });
}

std::string TrimRightBlanks(std::string_view text) {
  const std::size_t last = text.find_last_not_of(kBlank);
  return last == std::string_view::npos ? std::string() : std::string(text.substr(0, last + 1));
}

std::string TrimText(std::string_view text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return std::string(text);
}

std::int32_t LeadingInt(std::string_view text) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(ReadLeadingInteger(text)));
}

std::int64_t LeadingInt64(std::string_view text) { return static_cast<std::int64_t>(ReadLeadingInteger(text)); }

// Leading blanks are skipped as in LeadingInt. An exponent counts only with
// at least one digit, so '2e' and '2e+' read as 2.
double LeadingFloat(std::string_view text) {
  const std::string normalized = ReplaceText(text, ",", ".");
  const std::string_view s = normalized;
  std::size_t i = 0;
  while (i < s.size() && s[i] == kBlank) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  const std::size_t numberStart = i;
  std::size_t end = SkipDigits(s, i);
  bool hasDigits = end > numberStart;
  if (end < s.size() && s[end] == '.') {
    const std::size_t fractionEnd = SkipDigits(s, end + 1);
    hasDigits = hasDigits || fractionEnd > end + 1;
    end = fractionEnd;
  }
  if (!hasDigits) return 0;
  if (end < s.size() && (s[end] == 'e' || s[end] == 'E')) {
    std::size_t exponent = end + 1;
    if (exponent < s.size() && (s[exponent] == '+' || s[exponent] == '-')) ++exponent;
    const std::size_t exponentEnd = SkipDigits(s, exponent);
    if (exponentEnd > exponent) end = exponentEnd;
  }
  // from_chars takes neither a '+' nor a leading '.' everywhere, so the
  // number is handed over unsigned and with a zero before a bare fraction.
  std::string number(s.substr(numberStart, end - numberStart));
  if (number.front() == '.') number.insert(0, 1, '0');
  double value = 0;
  const auto [ptr, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error != std::errc() || ptr != number.data() + number.size()) return 0;
  return negative ? -value : value;
}

bool HasSwitch(std::string_view switchText) { return HasSwitch(platform::CommandLineArguments(), switchText); }

std::string SwitchValue(std::string_view switchText) {
  return SwitchValue(platform::CommandLineArguments(), switchText);
}

bool HasSwitch(const std::vector<std::string>& arguments, std::string_view switchText) {
  return arguments.size() > 1 &&
         std::any_of(arguments.begin() + 1, arguments.end(),
                     [switchText](const std::string& a) { return StartsWithIgnoringCase(a, switchText); });
}

// The value is cut at 255 bytes, moved back to a character boundary so that
// a long UTF-8 name never ends in half a character.
std::string SwitchValue(const std::vector<std::string>& arguments, std::string_view switchText) {
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (!StartsWithIgnoringCase(argument, switchText)) continue;
    std::string_view value = argument.substr(switchText.size());
    if (value.size() > kMaxSwitchValue) {
      std::size_t cut = kMaxSwitchValue;
      while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) --cut;
      value = value.substr(0, cut);
    }
    return std::string(value);
  }
  return {};
}

TBufferMatch BufferPos(const char* buffer, std::size_t length, std::string_view sub) {
  if (sub.empty() || buffer == nullptr || length < sub.size()) return {};
  const std::string_view data(buffer, length);
  const std::size_t offset = data.find(sub);
  if (offset == std::string_view::npos) return {};
  return {true, offset};
}

TBufferMatch BufferLastPos(const char* buffer, std::size_t length, std::string_view sub) {
  if (sub.empty() || buffer == nullptr || length < sub.size()) return {};
  const std::string_view data(buffer, length);
  const std::size_t offset = data.rfind(sub);
  if (offset == std::string_view::npos) return {};
  return {true, offset};
}

std::string BufferToString(const char* buffer, std::size_t count) {
  if (buffer == nullptr || count == 0) return {};
  return std::string(buffer, count);
}

}  // namespace zk
