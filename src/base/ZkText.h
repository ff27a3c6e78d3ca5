#pragma once
// The text comparisons every layer needs: names compared ignoring the case
// of A to Z only, and the UTF-8 test. Strings are bytes (UTF-8).

#include <cstddef>
#include <string>
#include <string_view>

namespace zk {

// Names of nodes, attributes, jobs, INI sections and keys: equal when they
// have the same length and differ at most in the case of A to Z.
bool SameText(std::string_view a, std::string_view b);
char LowerAscii(char c);
std::string LowerAsciiText(std::string_view text);

// Whether the text is well-formed UTF-8: every sequence complete, none
// overlong, no surrogate, nothing above U+10FFFF (the test that tells UTF-8
// from a legacy code page).
bool IsValidUtf8(std::string_view text);
// The bytes of the well-formed UTF-8 sequence that begins at `at` (1 for
// ASCII), 0 when none begins there.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at);

}  // namespace zk
