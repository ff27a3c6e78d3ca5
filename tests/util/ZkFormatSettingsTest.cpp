#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>

#include "support/ZkTempDir.h"
#include "util/ZkFormatSettings.h"
#include "util/ZkUtil.h"

// glibc's newlocale never frees its copy of LOCPATH, which only the locale
// tests below set; the sanitizer build would report it as a leak of ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:argz_add_sep\n"; }

namespace zk {
namespace {

const TFormatSettings kHu = TFormatSettings::Hungarian();
const TFormatSettings kEn = TFormatSettings::English();

// 5 January 2024 09:07:03, a Friday.
TDateTime SampleMoment() { return EncodeDateTime(2024, 1, 5, 9, 7, 3, 0); }

TEST(ZkFormatSettings, FloatToStr) {
  struct Case {
    double Value;
    const char* Hungarian;
    const char* English;
  };
  const Case cases[] = {
      {0.5, "0,5", "0.5"},
      {39448.75, "39448,75", "39448.75"},
      {1.0 / 86400, "1,15740740740741E-5", "1.15740740740741E-5"},
      {0, "0", "0"},
      {-0.0, "0", "0"},
      {-2.5, "-2,5", "-2.5"},
      {42, "42", "42"},
      {0.0001, "0,0001", "0.0001"},
      {0.00009, "9E-5", "9E-5"},
      {-1.5e-5, "-1,5E-5", "-1.5E-5"},
      {999999999999999, "999999999999999", "999999999999999"},
      {1e15, "1E15", "1E15"},
      {123456789012345678.0, "1,23456789012346E17", "1.23456789012346E17"},
      {1e100, "1E100", "1E100"},
      {0.1 + 0.2, "0,3", "0.3"},
      {1.0 / 3, "0,333333333333333", "0.333333333333333"},
      {std::numeric_limits<double>::denorm_min(), "4,94065645841247E-324", "4.94065645841247E-324"},
      {std::numeric_limits<double>::quiet_NaN(), "NAN", "NAN"},
      {-std::numeric_limits<double>::infinity(), "-INF", "-INF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.English);
    EXPECT_EQ(FloatToStr(c.Value, kHu), c.Hungarian);
    EXPECT_EQ(FloatToStr(c.Value, kEn), c.English);
  }
}

TEST(ZkFormatSettings, FloatToStrReadsBackWithLeadingFloat) {
  const double values[] = {0.5, 39448.75, 45296.379895833333, 1.0 / 86400, -1.25, 1e15, 1e-300, 123456.789};
  for (const double value : values) {
    SCOPED_TRACE(value);
    for (const TFormatSettings* settings : {&kHu, &kEn}) {
      const double back = LeadingFloat(FloatToStr(value, *settings));
      EXPECT_NEAR(back, value, std::fabs(value) * 1e-14);
    }
  }
}

TEST(ZkFormatSettings, FormatDateTimePatterns) {
  struct Case {
    const char* Pattern;
    const char* Hungarian;
    const char* English;
  };
  const Case cases[] = {
      {"yyyy.mm.dd.", "2024.01.05.", "2024.01.05."},
      {"yyyy/mm/dd", "2024.01.05", "2024/01/05"},
      {"d/m/yy", "5.1.24", "5/1/24"},
      {"YYYY-MM-DD", "2024-01-05", "2024-01-05"},
      {"yyy", "2024", "2024"},
      {"mmm mmmm", "jan. január", "Jan January"},
      {"ddd dddd ddddd", "P péntek péntek", "Fri Friday Friday"},
      {"h:nn:ss", "9:07:03", "9:07:03"},
      {"hh:n:s", "09:7:3", "09:7:3"},
      {"<x>", "<x>", "<x>"},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Pattern);
    EXPECT_EQ(FormatDateTime(c.Pattern, SampleMoment(), kHu), c.Hungarian);
    EXPECT_EQ(FormatDateTime(c.Pattern, SampleMoment(), kEn), c.English);
  }
  EXPECT_EQ(FormatDateTime("yyyy.mm.dd", EncodeDate(5, 1, 5), kHu), "0005.01.05");
}

TEST(ZkFormatSettings, DateAndTimeTexts) {
  const TDateTime midnight = EncodeDate(2024, 1, 5);
  EXPECT_EQ(DateToStr(SampleMoment(), kHu), "2024.01.05.");
  EXPECT_EQ(TimeToStr(SampleMoment(), kHu), "9:07:03");
  EXPECT_EQ(DateTimeToStr(SampleMoment(), kHu), "2024.01.05. 9:07:03");
  EXPECT_EQ(DateTimeToStr(midnight, kHu), "2024.01.05.");
  EXPECT_EQ(DateToStr(SampleMoment(), kEn), "1/5/2024");
  EXPECT_EQ(TimeToStr(SampleMoment(), kEn), "09:07:03");
  EXPECT_EQ(DateTimeToStr(SampleMoment(), kEn), "1/5/2024 09:07:03");
  EXPECT_EQ(DateTimeToStr(midnight + 1.0 / 86'400'000, kEn), "1/5/2024 00:00:00");
  EXPECT_EQ(DateTimeToStr(-1.25, kHu), "1899.12.29. 6:00:00");
}

TEST(ZkFormatSettings, TryStrToDate) {
  struct Case {
    const char* Text;
    const TFormatSettings* Settings;
    std::optional<TDateTime> Date;
  };
  const Case cases[] = {
      {"2024.01.05.", &kHu, EncodeDate(2024, 1, 5)},
      {"2024.01.05", &kHu, EncodeDate(2024, 1, 5)},
      {" 2024 . 1 . 5 . ", &kHu, EncodeDate(2024, 1, 5)},
      {"24.1.5", &kHu, EncodeDate(2024, 1, 5)},
      {"49.12.31", &kHu, EncodeDate(2049, 12, 31)},
      {"50.1.1", &kHu, EncodeDate(1950, 1, 1)},
      {"0005.01.05.", &kHu, EncodeDate(5, 1, 5)},
      {"1899.12.29.", &kHu, -1.0},
      {"2024.02.29", &kHu, EncodeDate(2024, 2, 29)},
      {"2023.02.29", &kHu, std::nullopt},
      {"2024.13.01", &kHu, std::nullopt},
      {"0.01.01", &kHu, EncodeDate(2000, 1, 1)},
      {"2024.01", &kHu, std::nullopt},
      {"2024.01.05..", &kHu, std::nullopt},
      {"2024.01.05. x", &kHu, std::nullopt},
      {"2024/01/05", &kHu, std::nullopt},
      {"2024.-1.05", &kHu, std::nullopt},
      {"12024.01.05", &kHu, std::nullopt},
      {"2024.001.05", &kHu, EncodeDate(2024, 1, 5)},
      {"", &kHu, std::nullopt},
      {"   ", &kHu, std::nullopt},
      {"abc", &kHu, std::nullopt},
      {"1/5/2024", &kEn, EncodeDate(2024, 1, 5)},
      {"12/31/99", &kEn, EncodeDate(1999, 12, 31)},
      {"13/5/2024", &kEn, std::nullopt},
      {"2024.01.05", &kEn, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Text);
    TDateTime result = 777;
    EXPECT_EQ(TryStrToDate(c.Text, *c.Settings, result), c.Date.has_value());
    EXPECT_EQ(result, c.Date.value_or(777));
  }
}

TEST(ZkFormatSettings, TryStrToTime) {
  struct Case {
    const char* Text;
    std::optional<TDateTime> Time;
  };
  const Case cases[] = {
      {"9:07:03", EncodeTime(9, 7, 3, 0)},
      {"09:07", EncodeTime(9, 7, 0, 0)},
      {" 23:59:59 ", EncodeTime(23, 59, 59, 0)},
      {"0:0:0", 0.0},
      {"24:00", std::nullopt},
      {"9:60", std::nullopt},
      {"9:07:60", std::nullopt},
      {"9", std::nullopt},
      {"9:", std::nullopt},
      {"9:07:", std::nullopt},
      {"9::07", std::nullopt},
      {"123:00", std::nullopt},
      {"9:07:03.5", std::nullopt},
      {"9 :07", std::nullopt},
      {"-1:00", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Text);
    TDateTime result = 777;
    EXPECT_EQ(TryStrToTime(c.Text, kHu, result), c.Time.has_value());
    EXPECT_EQ(result, c.Time.value_or(777));
  }
}

TEST(ZkFormatSettings, TryStrToDateTime) {
  struct Case {
    const char* Text;
    std::optional<TDateTime> Moment;
  };
  const Case cases[] = {
      {"2024.01.05. 9:07:03", SampleMoment()},
      {"2024. 01. 05.  9:07:03 ", SampleMoment()},
      {"2024.01.05 9:07", EncodeDateTime(2024, 1, 5, 9, 7, 0, 0)},
      {"2024.01.05.", EncodeDate(2024, 1, 5)},
      {"1899.12.29. 6:00", -1.25},
      {"2024.01.05. 25:00", std::nullopt},
      {"2024.01.05.9:07", std::nullopt},
      {"9:07", std::nullopt},
      {"2024.01.05. 9:07 x", std::nullopt},
      {"", std::nullopt},
      {"    ", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Text);
    TDateTime result = 777;
    EXPECT_EQ(TryStrToDateTime(c.Text, kHu, result), c.Moment.has_value());
    EXPECT_EQ(result, c.Moment.value_or(777));
  }
}

TEST(ZkFormatSettings, WrittenMomentsReadBack) {
  const TDateTime moments[] = {SampleMoment(),
                               EncodeDate(2024, 1, 5),
                               EncodeDateTime(1, 1, 1, 23, 59, 59, 0),
                               EncodeDateTime(9999, 12, 31, 0, 0, 1, 0),
                               EncodeDateTime(1899, 12, 29, 6, 30, 0, 0),
                               EncodeDateTime(1950, 6, 15, 12, 0, 0, 0)};
  for (const TDateTime moment : moments) {
    for (const TFormatSettings* settings : {&kHu, &kEn}) {
      const std::string text = DateTimeToStr(moment, *settings);
      SCOPED_TRACE(text);
      TDateTime back = 0;
      ASSERT_TRUE(TryStrToDateTime(text, *settings, back));
      EXPECT_EQ(back, moment);
    }
  }
}

TEST(ZkFormatSettings, ParsersTakeAnyText) {
  // Every text up to four bytes long over the bytes that matter to the
  // parsers: a success gives a valid date or time, a failure leaves the
  // result alone.
  const std::string alphabet = std::string("0 9.:/-\xFF") + '\0';
  std::string text;
  const auto check = [&](const std::string& t) {
    for (const TFormatSettings* settings : {&kHu, &kEn}) {
      TDateTime result = 777;
      if (TryStrToDate(t, *settings, result)) {
        EXPECT_EQ(result, std::trunc(result)) << t;
        EXPECT_GE(result, -693593);
        EXPECT_LE(result, 2958465);
      } else {
        EXPECT_EQ(result, 777) << t;
      }
      result = 777;
      if (TryStrToTime(t, *settings, result)) {
        EXPECT_GE(result, 0) << t;
        EXPECT_LT(result, 1) << t;
      } else {
        EXPECT_EQ(result, 777) << t;
      }
      result = 777;
      if (TryStrToDateTime(t, *settings, result)) {
        EXPECT_GE(result, -693594) << t;
        EXPECT_LT(result, 2958466) << t;
      } else {
        EXPECT_EQ(result, 777) << t;
      }
    }
  };
  for (std::size_t length = 0; length <= 4; ++length) {
    std::size_t combinations = 1;
    for (std::size_t k = 0; k < length; ++k) combinations *= alphabet.size();
    for (std::size_t n = 0; n < combinations; ++n) {
      text.clear();
      for (std::size_t k = 0, rest = n; k < length; ++k, rest /= alphabet.size())
        text += alphabet[rest % alphabet.size()];
      check(text);
    }
  }
  check(std::string(100000, ' ') + "2024.01.05." + std::string(100000, ' ') + "9:07");
  check(std::string(50000, '9'));
}

TEST(ZkFormatSettings, HungarianAndEnglishNames) {
  EXPECT_EQ(kHu.LongMonthNames[8], "szeptember");
  EXPECT_EQ(kHu.ShortMonthNames[8], "szept.");
  EXPECT_EQ(kHu.LongDayNames[1], "hétfő");
  EXPECT_EQ(kHu.ShortDayNames[6], "Szo");
  EXPECT_EQ(kEn.LongMonthNames[11], "December");
  EXPECT_EQ(kEn.ShortDayNames[0], "Sun");
  for (const TFormatSettings* settings : {&kHu, &kEn}) {
    for (const std::string& name : settings->LongMonthNames) EXPECT_FALSE(name.empty());
    for (const std::string& name : settings->ShortMonthNames) EXPECT_FALSE(name.empty());
    for (const std::string& name : settings->LongDayNames) EXPECT_FALSE(name.empty());
    for (const std::string& name : settings->ShortDayNames) EXPECT_FALSE(name.empty());
  }
}

// Sets an environment variable for one test and restores the old value.
class ScopedEnv {
public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
  const char* name_;
  std::optional<std::string> old_;
};

// A test locale whose time is written "21.47.59" and whose date holds a
// month name, with a decimal separator of two bytes.
constexpr const char* kOddLocaleSource = R"(LC_CTYPE
copy "POSIX"
END LC_CTYPE
LC_COLLATE
copy "POSIX"
END LC_COLLATE
LC_MONETARY
copy "POSIX"
END LC_MONETARY
LC_MESSAGES
copy "POSIX"
END LC_MESSAGES
LC_IDENTIFICATION
copy "en_US"
END LC_IDENTIFICATION
LC_PAPER
copy "en_US"
END LC_PAPER
LC_NAME
copy "en_US"
END LC_NAME
LC_ADDRESS
copy "en_US"
END LC_ADDRESS
LC_TELEPHONE
copy "en_US"
END LC_TELEPHONE
LC_MEASUREMENT
copy "en_US"
END LC_MEASUREMENT
LC_NUMERIC
decimal_point "<U00B7>"
thousands_sep ""
grouping -1
END LC_NUMERIC
LC_TIME
abday "Su";"Mo";"Tu";"We";"Th";"Fr";"Sa"
day "Sunday";"Monday";"Tuesday";"Wednesday";"Thursday";"Friday";"Saturday"
abmon "Ja";"Fe";"Mr";"Ap";"My";"Jn";"Jl";"Au";"Se";"Oc";"No";"De"
mon "Januar";"Februar";"Marz";"April";"Mai";"Juni";"Juli";"August";"September";"Oktober";"November";"Dezember"
d_t_fmt "%c"
d_fmt "%e. %B %Y"
t_fmt "%H.%M.%S"
am_pm "AM";"PM"
t_fmt_ampm "%r"
END LC_TIME
)";

TFormatSettings ReadLocale(const std::string& locale) {
  const ScopedEnv all("LC_ALL", locale);
  return TFormatSettings::FromUserLocale();
}

// Locales compiled for the tests into a folder of their own, so they do not
// depend on what the machine has installed.
class ZkUserLocale : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    folder_ = new test::TempDir();
    const std::string source = folder_->Write("zz_ODD", kOddLocaleSource);
    compiled_ = Compile("-i hu_HU", "hu_HU.UTF-8") && Compile("-i en_US", "en_US.UTF-8") &&
                Compile("-i " + source, "zz_ODD.UTF-8");
  }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }
  void SetUp() override {
    if (!compiled_) GTEST_SKIP() << "localedef could not build the test locales (glibc locale sources missing?)";
  }

  static TFormatSettings Read(const std::string& locale) {
    const ScopedEnv path("LOCPATH", folder_->Path().string());
    return ReadLocale(locale);
  }

private:
  static bool Compile(const std::string& input, const std::string& name) {
    const std::string command = "localedef " + input + " -f UTF-8 '" + (*folder_ / name) + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
  }

  static inline test::TempDir* folder_ = nullptr;
  static inline bool compiled_ = false;
};

TEST_F(ZkUserLocale, HungarianLocale) {
  const TFormatSettings s = Read("hu_HU.UTF-8");
  EXPECT_EQ(s.DecimalSeparator, ',');
  EXPECT_EQ(s.ShortDateFormat, "yyyy/mm/dd");
  EXPECT_EQ(s.DateSeparator, '-');
  EXPECT_EQ(s.LongTimeFormat, "hh:nn:ss");
  EXPECT_EQ(s.TimeSeparator, ':');
  EXPECT_EQ(s.LongMonthNames[2], "március");
  EXPECT_EQ(s.LongDayNames[1], "hétfő");
  EXPECT_EQ(DateTimeToStr(SampleMoment(), s), "2024-01-05 09:07:03");
  EXPECT_EQ(FloatToStr(0.5, s), "0,5");
}

TEST_F(ZkUserLocale, TwelveHourTimeBecomesTwentyFourHour) {
  const TFormatSettings s = Read("en_US.UTF-8");
  EXPECT_EQ(s.DecimalSeparator, '.');
  EXPECT_EQ(s.ShortDateFormat, "mm/dd/yyyy");
  EXPECT_EQ(s.LongTimeFormat, "hh:nn:ss");
  EXPECT_EQ(TimeToStr(EncodeTime(21, 47, 59, 0), s), "21:47:59");
}

TEST_F(ZkUserLocale, UnreadableFormatsKeepTheEnglishOnes) {
  const TFormatSettings s = Read("zz_ODD.UTF-8");
  EXPECT_EQ(s.DecimalSeparator, '.');
  EXPECT_EQ(s.ShortDateFormat, kEn.ShortDateFormat);
  EXPECT_EQ(s.DateSeparator, kEn.DateSeparator);
  EXPECT_EQ(s.LongTimeFormat, "hh:nn:ss");
  EXPECT_EQ(s.TimeSeparator, '.');
  EXPECT_EQ(TimeToStr(EncodeTime(21, 47, 59, 0), s), "21.47.59");
  EXPECT_EQ(s.LongMonthNames[2], "Marz");
  EXPECT_EQ(s.ShortMonthNames[4], "My");
}

TEST(ZkUserLocaleBuiltIn, MissingLocaleGivesEnglish) {
  const TFormatSettings s = ReadLocale("xx_NOWHERE.UTF-8");
  EXPECT_EQ(s.DecimalSeparator, kEn.DecimalSeparator);
  EXPECT_EQ(s.ShortDateFormat, kEn.ShortDateFormat);
  EXPECT_EQ(s.LongTimeFormat, kEn.LongTimeFormat);
  EXPECT_EQ(s.LongMonthNames, kEn.LongMonthNames);
  EXPECT_EQ(s.ShortDayNames, kEn.ShortDayNames);
}

// The C locale writes two-digit years; they are widened to keep the century.
TEST(ZkUserLocaleBuiltIn, CLocaleWritesFullYears) {
  const TFormatSettings s = ReadLocale("C.UTF-8");
  EXPECT_EQ(s.DecimalSeparator, '.');
  EXPECT_EQ(s.ShortDateFormat, "mm/dd/yyyy");
  EXPECT_EQ(s.DateSeparator, '/');
  EXPECT_EQ(s.LongTimeFormat, "hh:nn:ss");
  EXPECT_EQ(s.LongMonthNames, kEn.LongMonthNames);
  EXPECT_EQ(DateToStr(EncodeDate(1937, 3, 4), s), "03/04/1937");
}

}  // namespace
}  // namespace zk
