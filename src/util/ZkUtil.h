#pragma once
// Text, date and command-line helpers shared by the engine, the storage
// classes and the windows. Strings are bytes (UTF-8); positions are 1-based
// and 0 means "not found". "Ignoring case" folds only the letters A to Z.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/ZkDateTime.h"
#include "base/ZkText.h"
#include "util/ZkFormatSettings.h"

namespace zk {

// The program's own date letters: YYYY YY MMMM MMM MM M DDDD DDD DD D HH H
// PP P SS S (PP = minutes), matched ignoring case, the longest first; other
// bytes are copied. Month and weekday names come from the settings.
std::string FormatDateMask(std::string_view format, TDateTime moment, const TFormatSettings& settings);

// The n-th field of a separated line; see the notes in ZkUtil.cpp for the
// result when fewer separators occur.
std::string FieldOf(std::string_view text, std::string_view separator, int n);
// Position of the n-th non-overlapping occurrence, searching from
// max(1, start) to min(limit, length) (limit 0 = the whole text).
int PosOfNth(std::string_view text, std::string_view sub, int n, int limit, int start);
int PosOfNthFromEnd(std::string_view text, std::string_view sub, int n, int limit, int start);
int CountOf(std::string_view text, std::string_view sub);
std::string ReplaceText(std::string_view text, std::string_view sub, std::string_view replacement);
std::string LeftPart(std::string_view text, int n);
std::string RightPart(std::string_view text, int n);
std::string IfThenStr(bool condition, std::string_view a, std::string_view b);
bool IsBlank(std::string_view text);
std::string TrimRightBlanks(std::string_view text);
// The text without leading and trailing bytes of code 0 to 32.
std::string TrimText(std::string_view text);

// Leading blanks, an optional sign, then decimal digits or hexadecimal ones
// after "$", "x", "X", "0x" or "0X"; the rest is ignored; 0 without digits.
// LeadingInt keeps the low 32 bits, LeadingInt64 all 64.
std::int32_t LeadingInt(std::string_view text);
std::int64_t LeadingInt64(std::string_view text);
// Every "," read as "."; the longest leading decimal number (sign, digits,
// fraction, exponent); 0 for text that holds none or a value out of range.
double LeadingFloat(std::string_view text);
// '0' to '9' only, whatever the locale.
bool IsDigit(char c);
// The decimal digits of the value, with leading zeros up to the width.
std::string PadNumber(int value, std::size_t width);

// Names (without folder) of the directory entries matching a path with a
// Windows-style mask, in the order the search returns them, "." and ".."
// left out. The attribute filter works as in platform/ZkDirSearch.h (bits in
// platform/ZkFileSystem.h); a filter
// of exactly faDirectory lists directories only.
std::vector<std::string> ListFiles(std::string_view pathWithMask, int attributeFilter);

// The command line: arguments 1 to the last of the running program.
bool HasSwitch(std::string_view switchText);
std::string SwitchValue(std::string_view switchText);
// The same over an explicit argument list (element 0 is the program).
bool HasSwitch(const std::vector<std::string>& arguments, std::string_view switchText);
std::string SwitchValue(const std::vector<std::string>& arguments, std::string_view switchText);

struct TBufferMatch {
  bool Found = false;
  std::size_t Offset = 0;  // 0 when not found
};
TBufferMatch BufferPos(const char* buffer, std::size_t length, std::string_view sub);
TBufferMatch BufferLastPos(const char* buffer, std::size_t length, std::string_view sub);
std::string BufferToString(const char* buffer, std::size_t count);

}  // namespace zk
