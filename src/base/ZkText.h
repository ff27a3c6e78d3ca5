#pragma once
// The text comparisons every layer needs: names compared ignoring the case
// of A to Z only, and the UTF-8 test. Strings are bytes (UTF-8).

#include <string>
#include <string_view>

namespace zk {

// Names of nodes, attributes, jobs, INI sections and keys: equal when they
// have the same length and differ at most in the case of A to Z.
bool SameText(std::string_view a, std::string_view b);
char LowerAscii(char c);
std::string LowerAsciiText(std::string_view text);

// Whether every lead byte of the text is followed by the continuation
// bytes UTF-8 asks for (the test that tells UTF-8 from a legacy code page).
bool IsValidUtf8(std::string_view text);

}  // namespace zk
