#include <gtest/gtest.h>

#include <string>

#include "base/ZkText.h"

namespace zk {
namespace {

// Names that are not UTF-8 are stored raw in archives: a wrong "yes" here
// makes readers refuse the whole archive.
TEST(ZkText, Utf8IsOnlyWellFormedUtf8) {
  struct Case {
    std::string text;
    bool utf8;
  };
  const Case cases[] = {
      {"plain", true},
      {"\xC3\xA1rv\xC3\xADzt\xC5\xB1r\xC5\x91", true},  // árvíztűrő
      {"\xE2\x82\xAC", true},                             // €
      {"\xF0\x9F\x98\x80", true},                         // U+1F600
      {"\xF4\x8F\xBF\xBF", true},                         // U+10FFFF
      {"\xED\x9F\xBF", true},                             // U+D7FF, below the surrogates
      {"\xED\xA0\x80", false},                            // surrogate U+D800
      {"\xED\xBF\xBF", false},                            // surrogate U+DFFF
      {"\xF4\x90\x80\x80", false},                        // U+110000
      {"\xC0\xAF", false},                                // overlong "/"
      {"\xE0\x80\xAF", false},                            // overlong "/"
      {"\xF0\x8F\xBF\xBF", false},                        // overlong U+FFFF
      {"caf\xE9", false},                                 // Latin-1
      {"\xC3", false},                                    // cut short
  };
  for (const Case& c : cases) EXPECT_EQ(IsValidUtf8(c.text), c.utf8) << c.text;
}

}  // namespace
}  // namespace zk
