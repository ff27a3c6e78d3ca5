#include "platform/ZkDirSearch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <ctime>
#include <filesystem>
#include <map>
#include <set>

#include "support/ZkTempDir.h"

namespace zk::platform {
namespace {

namespace fs = std::filesystem;

struct MaskCase {
  const char* name;
  const char* mask;
  bool matches;
};

TEST(MatchesMaskTest, FollowsWindowsWildcardRules) {
  const MaskCase cases[] = {
      {"report.txt", "*.*", true},
      {"README", "*.*", true},  // no dot, still every name
      {".profile", "*.*", true},
      {"report.txt", "*", true},
      {"REPORT.TXT", "*.txt", true},
      {"report.txt", "*.TXT", true},
      {"report.tx", "*.txt", false},
      {"report.txt.bak", "*.txt", false},
      {"archive.tar.gz", "*.gz", true},
      {"abc", "a?c", true},
      {"ac", "a?c", false},
      {"abbc", "a?c", false},
      {"report", "report.*", true},  // ".*" also takes a name without extension
      {"report.doc", "report.*", true},
      {"reporting", "report.*", false},
      {"aXbYc", "a*b*c", true},
      {"aXbYcZ", "a*b*c", false},
      {"aaaa", "a*a*a*a", true},
      {"aaa", "a*a*a*a", false},
      {"mississippi", "*sip*", true},
      {"[x].txt", "[x].txt", true},  // no character classes
      {"x.txt", "[x].txt", false},
      {"\xC3\xA9.txt", "\xC3\x89.TXT", false},  // accented letters match exactly
      {"\xC3\xA9.txt", "\xC3\xA9.TXT", true},
      {"a", "", false},
      // "?" is one character: a whole UTF-8 sequence, or one byte that is not
      // part of one.
      {"\xC3\xA9.txt", "?.txt", true},
      {"\xE2\x82\xAC.txt", "?.txt", true},
      {"\xF0\x9F\x98\x80.txt", "?.txt", true},
      {"\xC3\xA9.txt", "??.txt", false},
      {"a\xC3\xA9", "a?", true},
      {"\xE2\x82\xAC", "*??", false},  // "*" does not split a character either
      {"x\xE2\x82\xAC", "*??", true},
      {"\xFF.txt", "?.txt", true},
      {"\xC3.txt", "?.txt", true},  // a lead byte without its continuation
      {"\xC3\xA9\xA9.txt", "??.txt", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " ~ " + c.mask);
    EXPECT_EQ(MatchesMask(c.name, c.mask), c.matches);
  }
}

// One entry of every kind the search has to tell apart.
class DirSearchTest : public ::testing::Test {
protected:
  void SetUp() override {
    dir.Write("plain.txt", "abc");
    dir.Write(".hidden", "");
    const auto readOnly = dir.Write("ro.txt", "12345");
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read);
    fs::create_directory(dir / "sub");
    fs::create_directory(dir / ".hdir");
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0644), 0);
    fs::create_symlink("plain.txt", dir / "flink");
    fs::create_directory_symlink("sub", dir / "dlink");
    fs::create_symlink("missing", dir / "dead");
  }

  std::map<std::string, int> Search(const std::string& mask, int filter) const {
    std::map<std::string, int> found;
    DirSearch search(dir / mask, filter);
    SearchRecord record;
    while (search.Next(record)) EXPECT_TRUE(found.emplace(record.Name, record.Attr).second) << record.Name;
    return found;
  }

  static std::set<std::string> Names(const std::map<std::string, int>& found) {
    std::set<std::string> names;
    for (const auto& [name, attr] : found) names.insert(name);
    return names;
  }

  test::TempDir dir;
};

TEST_F(DirSearchTest, GivesPosixEntriesTheirAttributes) {
  const std::map<std::string, int> expected = {
      {"plain.txt", faArchive},
      {".hidden", faArchive | faHidden},
      {"ro.txt", faArchive | faReadOnly},
      {"sub", faDirectory},
      {".hdir", faDirectory | faHidden},
      {"flink", faArchive | faSymLink},
      {"dlink", faDirectory | faSymLink},
  };
  // No FIFO, no dangling link, no "." or "..".
  EXPECT_EQ(Search("*", faAnyFile), expected);
}

TEST_F(DirSearchTest, FilterKeepsOutHiddenAndDirectoriesItLacks) {
  const std::set<std::string> files = {"plain.txt", "ro.txt", "flink"};
  struct Case {
    int filter;
    std::set<std::string> names;
  };
  const Case cases[] = {
      {0, files},
      {faReadOnly | faArchive, files},  // these bits never keep anything out
      {faHidden, {"plain.txt", "ro.txt", "flink", ".hidden"}},
      {faDirectory, {"plain.txt", "ro.txt", "flink", "sub", "dlink"}},
      {faDirectory | faHidden, {"plain.txt", "ro.txt", "flink", ".hidden", "sub", ".hdir", "dlink"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.filter);
    EXPECT_EQ(Names(Search("*.*", c.filter)), c.names);
  }
}

TEST_F(DirSearchTest, AppliesTheMaskWithoutCase) {
  EXPECT_EQ(Names(Search("*.TXT", faAnyFile)), (std::set<std::string>{"plain.txt", "ro.txt"}));
  EXPECT_EQ(Names(Search("?link", faAnyFile)), (std::set<std::string>{"flink", "dlink"}));
}

TEST_F(DirSearchTest, QuestionMarkTakesOneAccentedLetter) {
  dir.Write("\xC3\xA9.txt", "");
  dir.Write("ab.txt", "");
  EXPECT_EQ(Names(Search("?.txt", faAnyFile)), (std::set<std::string>{"\xC3\xA9.txt"}));
}

TEST_F(DirSearchTest, PathWithoutWildcardFindsThatOneEntry) {
  struct Case {
    const char* name;
    int filter;
    int attr;  // -1: nothing found
  };
  const Case cases[] = {
      {"plain.txt", faAnyFile, faArchive},
      {"sub", faDirectory, faDirectory},
      {"sub", 0, -1},
      {".hidden", 0, -1},
      {".hidden", faHidden, faArchive | faHidden},
      {"flink", 0, faArchive | faSymLink},
      {"pipe", faAnyFile, -1},
      {"dead", faAnyFile, -1},
      {"missing", faAnyFile, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DirSearch search(dir / c.name, c.filter);
    SearchRecord record;
    if (c.attr < 0) {
      EXPECT_FALSE(search.Next(record));
      continue;
    }
    ASSERT_TRUE(search.Next(record));
    EXPECT_EQ(record.Name, c.name);
    EXPECT_EQ(record.Attr, c.attr);
    EXPECT_FALSE(search.Next(record));
  }
}

TEST_F(DirSearchTest, UnreadableFolderGivesNothing) {
  for (const char* mask : {"nowhere/*.*", "plain.txt/*.*", "pipe/*"}) {
    SCOPED_TRACE(mask);
    EXPECT_TRUE(Search(mask, faAnyFile).empty());
  }
}

TEST_F(DirSearchTest, MaskWithoutFolderSearchesTheCurrentFolder) {
  const auto previous = fs::current_path();
  fs::current_path(dir.Path());
  std::set<std::string> names;
  {
    DirSearch search("*.txt", faAnyFile);
    SearchRecord record;
    while (search.Next(record)) names.insert(record.Name);
  }
  fs::current_path(previous);
  EXPECT_EQ(names, (std::set<std::string>{"plain.txt", "ro.txt"}));
}

TEST(DirSearchRecordTest, CarriesFullSizeAndLocalModificationTime) {
  test::TempDir dir;
  const auto big = dir / "big.bin";
  dir.Write("big.bin", "");
  fs::resize_file(big, std::uint64_t{5} << 30);  // sparse: takes no space

  std::tm local{};
  local.tm_year = 2024 - 1900;
  local.tm_mon = 0;
  local.tm_mday = 5;
  local.tm_hour = 9;
  local.tm_min = 7;
  local.tm_sec = 3;
  local.tm_isdst = -1;
  const FileTime stamp{static_cast<std::int64_t>(std::mktime(&local)), 250'000'000};
  ASSERT_TRUE(SetModifiedTime(big, stamp));

  DirSearch search(dir / "*.bin", faAnyFile);
  SearchRecord record;
  ASSERT_TRUE(search.Next(record));
  EXPECT_EQ(record.Size, std::int64_t{5} << 30);
  EXPECT_EQ(record.Modified, stamp);
  EXPECT_NEAR(record.Time, EncodeDateTime(2024, 1, 5, 9, 7, 3, 250), 1e-9);
}

TEST(FileInfoTest, ReadsDirectoriesAndSetsTimesToTheNanosecond) {
  test::TempDir dir;
  fs::create_directory(dir / ".cache");
  const auto info = ReadFileInfo(dir / ".cache/");  // a trailing separator names the same folder
  ASSERT_TRUE(info);
  EXPECT_EQ(info->Attr, faDirectory | faHidden);
  EXPECT_EQ(info->Size, 0);
  EXPECT_EQ(ReadFileInfo("/")->Attr & faHidden, 0);
  EXPECT_FALSE(ReadFileInfo(""));
  EXPECT_FALSE(ReadFileInfo(dir / "missing"));

  const auto file = dir.Write("f", "x");
  const FileTime stamp{981'173'106, 123'456'789};
  ASSERT_TRUE(SetModifiedTime(file, stamp));
  EXPECT_EQ(ReadFileInfo(file)->Modified, stamp);
  EXPECT_FALSE(SetModifiedTime(dir / "missing", stamp));

  EXPECT_TRUE(CreateDirectory(dir / "new"));
  EXPECT_FALSE(CreateDirectory(dir / "new"));
  EXPECT_FALSE(CreateDirectory(dir / "no/such/parent"));
}

TEST(FileInfoTest, ConvertsTimesBeforeTheDayCountStarts) {
  // 1899-12-29 06:00 local is a negative day count whose fraction still
  // tells the time of day.
  std::tm local{};
  local.tm_year = -1;
  local.tm_mon = 11;
  local.tm_mday = 29;
  local.tm_hour = 6;
  local.tm_isdst = -1;
  const FileTime stamp{static_cast<std::int64_t>(std::mktime(&local)), 0};
  EXPECT_NEAR(ToDateTime(stamp), -1.25, 1e-9);
  EXPECT_EQ(ToDateTime(FileTime{std::int64_t{1} << 50, 0}), 0);  // far beyond year 9999
}

}  // namespace
}  // namespace zk::platform
