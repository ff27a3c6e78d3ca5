#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "platform/ZkCommandLine.h"
#include "util/ZkUtil.h"

namespace zk {
namespace {

// 5 January 2024 09:07:03, a Friday.
TDateTime SampleMoment() { return EncodeDateTime(2024, 1, 5, 9, 7, 3, 0); }

TEST(ZkUtilText, SameTextFoldsOnlyAsciiLetters) {
  struct Case {
    const char* A;
    const char* B;
    bool Same;
  };
  const Case cases[] = {
      {"Group", "gROUP", true}, {"", "", true},      {"abc", "abcd", false}, {"Árvíztűrő", "árvíztűrő", false},
      {"Árvíz", "Árvíz", true}, {"a[", "A{", false}, {"@", "`", false},      {"Z9", "z9", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.A) + " / " + c.B);
    EXPECT_EQ(SameText(c.A, c.B), c.Same);
  }
  EXPECT_EQ(LowerAsciiText("AbC-ÉÖ"), "abc-ÉÖ");
  EXPECT_EQ(LowerAscii('['), '[');
}

TEST(ZkUtilText, FormatDateMaskTokens) {
  const TFormatSettings hu = TFormatSettings::Hungarian();
  struct Case {
    const char* Format;
    const char* Result;
  };
  const Case cases[] = {
      {"yyyy.mm.dd", "2024.01.05"},
      {"hhpp", "0907"},
      {"hh:pp", "09:07"},
      {"yyyy.mm.dd hh:pp:ss ", "2024.01.05 09:07:03 "},
      {"YyYy", "2024"},
      {"Date:", "5ate:"},
      {"MMMMM", "január1"},
      {"mmm dddd ddd", "jan. péntek P"},
      {"yy m d h p s", "24 1 5 9 7 3"},
      {"", ""},
      {"x-\xFF", "x-\xFF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Format);
    EXPECT_EQ(FormatDateMask(c.Format, SampleMoment(), hu), c.Result);
  }
  EXPECT_EQ(FormatDateMask("YYYY-MM-DD", EncodeDate(5, 3, 9), hu), "0005-03-09");
  EXPECT_EQ(FormatDateMask("MMMM DDDD", SampleMoment(), TFormatSettings::English()), "January Friday");
  // The seconds shown are those of the rounded moment: 23:59:59.9996 is the next day.
  const TDateTime almostMidnight = EncodeDate(2024, 1, 5) + (86'400'000 - 0.4) / 86'400'000.0;
  EXPECT_EQ(FormatDateMask("yyyy.mm.dd hh:pp:ss ddd", almostMidnight, hu), "2024.01.06 00:00:00 Szo");
}

TEST(ZkUtilText, FieldOf) {
  struct Case {
    const char* Text;
    const char* Separator;
    int N;
    const char* Field;
  };
  const Case cases[] = {
      {"a;b", ";", 1, "a"},
      {"a;b", ";", 2, "b"},
      {"a;b", ";", 3, "a;b"},
      {"abc", ";", 2, "abc"},
      {"a;", ";", 2, ""},
      {";b", ";", 1, ""},
      {"Ok;2024.01.05;09:07;Global;D:\\B\\x.Zip", ";", 5, "D:\\B\\x.Zip"},
      {"Ok;2024.01.05;09:07;Global;D:\\B\\x.Zip", ";", 4, "Global"},
      {"Ok;2024.01.05;09:07;Global;D:\\B\\x.Zip", ";", 0, ""},
      {"a;b", ";", -1, ""},
      {"", ";", 1, ""},
      {"key;;;;;;;;;", ";", 2, ""},
      {"Execute;prog;;;", ";", 3, ""},
      {"x;a;b;c", ";", 3, "b"},
      {"a::b::c", "::", 2, "b"},
      {"a::b", "::", 3, "::b"},
      {"a", "", 2, "a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.Text) + " n=" + std::to_string(c.N));
    EXPECT_EQ(FieldOf(c.Text, c.Separator, c.N), c.Field);
  }
}

TEST(ZkUtilText, PosOfNthForwardsAndBackwards) {
  struct Case {
    const char* Text;
    const char* Sub;
    int N;
    int Limit;
    int Start;
    int Forward;
    int Backward;
  };
  const Case cases[] = {
      {"a;b;c", ";", 1, 0, 1, 2, 4},    {"a;b;c", ";", 2, 0, 1, 4, 2},
      {"a;b;c", ";", 3, 0, 1, 0, 0},    {"aaaa", "aa", 1, 0, 1, 1, 3},
      {"aaaa", "aa", 2, 0, 1, 3, 1},                                    // non-overlapping both ways
      {"aaaaa", "aa", 2, 0, 1, 3, 2},   {"a;b;c", ";", 1, 0, 3, 4, 4},  // start
      {"a;b;c", ";", 2, 0, 3, 0, 0},    {"a;b;c", ";", 1, 3, 1, 2, 2},  // limit
      {"abcabc", "bc", 1, 5, 1, 2, 2},                                  // a match must end within the limit
      {"abcabc", "bc", 1, 99, 1, 2, 5}, {"abc", "abcd", 1, 0, 1, 0, 0},
      {"abc", "b", 1, 0, -5, 2, 2},     {"abc", "", 1, 0, 1, 0, 0},
      {"abc", "b", 0, 0, 1, 0, 0},      {"aBc", "b", 1, 0, 1, 0, 0},  // exact comparison
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.Text) + " sub=" + c.Sub + " n=" + std::to_string(c.N) +
                 " limit=" + std::to_string(c.Limit) + " start=" + std::to_string(c.Start));
    EXPECT_EQ(PosOfNth(c.Text, c.Sub, c.N, c.Limit, c.Start), c.Forward);
    EXPECT_EQ(PosOfNthFromEnd(c.Text, c.Sub, c.N, c.Limit, c.Start), c.Backward);
  }
}

TEST(ZkUtilText, CountAndReplace) {
  EXPECT_EQ(CountOf("C:\\a\\b\\", "\\"), 3);
  EXPECT_EQ(CountOf("aaaa", "aa"), 2);
  EXPECT_EQ(CountOf("aAa", "a"), 2);
  EXPECT_EQ(CountOf("", "a"), 0);
  EXPECT_EQ(CountOf("abc", ""), 0);

  EXPECT_EQ(ReplaceText("2,5e3,1", ",", "."), "2.5e3.1");
  EXPECT_EQ(ReplaceText("Foo foo FOO", "foo", "x"), "x x x");
  EXPECT_EQ(ReplaceText("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceText("ÁRVÍZ árvíz", "árvíz", "-"), "ÁRVÍZ -");
  EXPECT_EQ(ReplaceText("abab", "b", "bb"), "abbabb");
  EXPECT_EQ(ReplaceText("abc", "", "x"), "abc");
}

TEST(ZkUtilText, PartsAndBlanks) {
  EXPECT_EQ(LeftPart("abc", 0), "");
  EXPECT_EQ(LeftPart("abc", -2), "");
  EXPECT_EQ(LeftPart("abc", 2), "ab");
  EXPECT_EQ(LeftPart("abc", 5), "abc");
  EXPECT_EQ(RightPart("abc", 5), "abc");
  EXPECT_EQ(RightPart("abc", 2), "bc");
  EXPECT_EQ(RightPart("abc", 0), "");
  EXPECT_EQ(RightPart("abc", -1), "");
  EXPECT_EQ(IfThenStr(true, "a", "b"), "a");
  EXPECT_EQ(IfThenStr(false, "a", "b"), "b");

  EXPECT_TRUE(IsBlank(""));
  EXPECT_TRUE(IsBlank(std::string(" \t\r\n\0\x1F ", 7)));
  EXPECT_FALSE(IsBlank(" x "));
  EXPECT_FALSE(IsBlank("\x7F"));
  EXPECT_FALSE(IsBlank("\xC2\xA0"));

  EXPECT_EQ(TrimRightBlanks("a b  "), "a b");
  EXPECT_EQ(TrimRightBlanks("a\t "), "a\t");
  EXPECT_EQ(TrimRightBlanks("   "), "");
  EXPECT_EQ(TrimRightBlanks("  a"), "  a");
}

TEST(ZkUtilNumbers, LeadingInt) {
  struct Case {
    const char* Text;
    std::int32_t Value;
  };
  const Case cases[] = {
      {" 42abc", 42},    {"$ff", 255},
      {"abc", 0},        {"4294967297", 1},
      {"12abc", 12},     {"-17", -17},
      {"+8", 8},         {"   -0x1F", -31},
      {"0XfF", 255},     {"x10", 16},
      {"X10", 16},       {"$", 0},
      {"0x", 0},         {"-", 0},
      {"", 0},           {"\t5", 0},
      {"- 5", 0},        {"2147483648", std::numeric_limits<std::int32_t>::min()},
      {"$FFFFFFFF", -1}, {"99999999999999999999999999999", -1610612737},
      {"007", 7},        {"1.9", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(LeadingInt(c.Text), c.Value);
  }
}

TEST(ZkUtilNumbers, LeadingInt64KeepsAllBits) {
  EXPECT_EQ(LeadingInt64("4294967297"), 4294967297LL);
  EXPECT_EQ(LeadingInt64("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(LeadingInt64("$7fffffffffffffff"), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(LeadingInt64("18446744073709551617"), 1);
  EXPECT_EQ(LeadingInt64(" 12 kB"), 12);
}

TEST(ZkUtilNumbers, LeadingFloat) {
  struct Case {
    const char* Text;
    double Value;
  };
  const Case cases[] = {
      {"2,5", 2.5},
      {"2.5", 2.5},
      {"39448,75", 39448.75},
      {"1,15740740740741E-5", 1.15740740740741e-5},
      {"-0,5", -0.5},
      {"+3", 3},
      {"1e3", 1000},
      {"1E+3x", 1000},
      {"2e", 2},
      {"2e+", 2},
      {".5", 0.5},
      {"5.", 5},
      {"1,2,3", 1.2},
      {"", 0},
      {"abc", 0},
      {".", 0},
      {"-", 0},
      {"e5", 0},
      {"  7", 7},
      {"1e999", 0},
      {"-1e999", 0},
      {"0x10", 0},
      {"1E15", 1e15},
      {"nan", 0},
      {"inf", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(LeadingFloat(c.Text), c.Value);
  }
}

TEST(ZkUtilNumbers, LeadingFloatTakesAnyBytes) {
  // Long and odd inputs must give a value without reading past the text.
  std::string digits(5000, '9');
  EXPECT_TRUE(std::isfinite(LeadingFloat("0," + digits)));
  EXPECT_EQ(LeadingFloat(digits), 0);
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  EXPECT_EQ(LeadingFloat(bytes), 0);
  EXPECT_EQ(LeadingFloat(std::string("4\0"
                                     "5",
                                     3)),
            4);
}

TEST(ZkUtilCommandLine, SwitchesOverAnArgumentList) {
  const std::vector<std::string> arguments = {"/Group", "/START", "/GroupDaily backup", "/Groupx", "-v"};
  EXPECT_TRUE(HasSwitch(arguments, "/start"));
  EXPECT_EQ(SwitchValue(arguments, "/start"), "");
  EXPECT_TRUE(HasSwitch(arguments, "/Group"));
  EXPECT_EQ(SwitchValue(arguments, "/group"), "Daily backup");  // the first matching argument
  EXPECT_TRUE(HasSwitch(arguments, "-V"));
  EXPECT_FALSE(HasSwitch(arguments, "/Groupy"));
  EXPECT_EQ(SwitchValue(arguments, "/Groupy"), "");
  EXPECT_FALSE(HasSwitch(arguments, "START"));  // compared at the argument's start

  // Argument 0 is the program and never a switch.
  EXPECT_FALSE(HasSwitch({"/start"}, "/start"));
  EXPECT_FALSE(HasSwitch({}, "/start"));
  EXPECT_EQ(SwitchValue({"/GroupX"}, "/Group"), "");
}

TEST(ZkUtilCommandLine, SwitchValueIsCutAt255Bytes) {
  const std::string ascii(300, 'a');
  EXPECT_EQ(SwitchValue({"prog", "/Group" + ascii}, "/Group"), std::string(255, 'a'));
  // 254 ASCII bytes then "é": cutting at 255 would split the character.
  const std::string accented = std::string(254, 'a') + "é" + "b";
  EXPECT_EQ(SwitchValue({"prog", "/Group" + accented}, "/Group"), std::string(254, 'a'));
  const std::string exact = std::string(253, 'a') + "é";
  EXPECT_EQ(SwitchValue({"prog", "/Group" + exact}, "/Group"), exact);
}

TEST(ZkUtilCommandLine, RunningProgramsArguments) {
  const std::vector<std::string> arguments = platform::CommandLineArguments();
  ASSERT_FALSE(arguments.empty());
  EXPECT_NE(arguments[0].find("util_text_tests"), std::string::npos);
  EXPECT_FALSE(HasSwitch("/no-such-switch-of-the-tests"));
  EXPECT_EQ(SwitchValue("/no-such-switch-of-the-tests"), "");
  // The executable is found by its file, whatever the command line says.
  const std::string executable = platform::ExecutablePath();
  EXPECT_EQ(executable.front(), '/');
  EXPECT_TRUE(executable.ends_with("/util_text_tests")) << executable;
}

TEST(ZkUtilBuffer, FirstAndLastOccurrence) {
  const std::string data("PK\x03\x04..PK\x05\x06..PK\x05\x06", 16);
  struct Case {
    std::string Sub;
    std::size_t Length;
    bool Found;
    std::size_t First;
    std::size_t Last;
  };
  const Case cases[] = {
      {"PK", data.size(), true, 0, 12},
      {std::string("PK\x05\x06", 4), data.size(), true, 6, 12},
      {std::string("PK\x05\x06", 4), 15, true, 6, 6},  // only the first length bytes count
      {std::string("PK\x05\x06", 4), 9, false, 0, 0},
      {"PKX", data.size(), false, 0, 0},
      {"PK", 1, false, 0, 0},
      {"PK", 0, false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Sub + " length=" + std::to_string(c.Length));
    const TBufferMatch first = BufferPos(data.data(), c.Length, c.Sub);
    const TBufferMatch last = BufferLastPos(data.data(), c.Length, c.Sub);
    EXPECT_EQ(first.Found, c.Found);
    EXPECT_EQ(first.Offset, c.First);
    EXPECT_EQ(last.Found, c.Found);
    EXPECT_EQ(last.Offset, c.Last);
  }
  EXPECT_EQ(BufferToString(data.data(), 4), std::string("PK\x03\x04", 4));
  EXPECT_EQ(BufferToString(nullptr, 0), "");
  EXPECT_FALSE(BufferPos(nullptr, 0, "a").Found);
}

}  // namespace
}  // namespace zk
