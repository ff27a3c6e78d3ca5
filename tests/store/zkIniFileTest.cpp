#include "store/zkIniFile.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/ZkTempDir.h"

namespace zk::test {
namespace {

using Lines = std::vector<std::string>;

struct IniFixture : ::testing::Test {
  std::string Make(const std::string& content) {
    const std::string path = dir.Write("Backup.Ini", content);
    ini.SetFileName(path);
    return path;
  }
  TempDir dir;
  std::vector<std::string> reports;
  TZkIniFile ini{[this](const std::string& message) { reports.push_back(message); }};
};

TEST_F(IniFixture, ReadsKeysByTheirExactLineStart) {
  Make("top=1\r\n[Job]\r\nhistory=a\r\n History=b\r\nPath=\r\nBlank=   \r\nDir=  D:\\x  \r\nHistory=c\r\n"
       "[job2]\r\nHistory=d\r\n");
  EXPECT_EQ(ini.ReadString("Job", "History", "-"), "a");
  EXPECT_EQ(ini.ReadString("JOB", "Path", "def"), "def");
  EXPECT_EQ(ini.ReadString("Job", "Blank", "def"), "def");
  EXPECT_EQ(ini.ReadString("Job", "Dir", "def"), "  D:\\x");
  EXPECT_EQ(ini.ReadString("Job", "", "def"), "def");
  EXPECT_EQ(ini.ReadString("", "top", "-"), "1");
  EXPECT_EQ(ini.ReadString("Missing", "History", "-"), "-");
  Lines values;
  ini.ReadSectionValues("Job", "History", values);
  EXPECT_EQ(values, (Lines{"a", "c"}));
  Lines sections;
  ini.ReadSections(sections);
  EXPECT_EQ(sections, (Lines{"Job", "job2"}));
  EXPECT_TRUE(reports.empty());
}

TEST_F(IniFixture, OnlyCrLfEndsALine) {
  Make("k=a\nj=b\n[Job]\n");
  Lines sections;
  ini.ReadSections(sections);
  EXPECT_TRUE(sections.empty());  // one line, which does not begin with "["
  EXPECT_EQ(ini.ReadString("", "k", "-"), "a\nj=b\n[Job]\n");
  EXPECT_EQ(ini.ReadString("", "j", "-"), "-");
}

TEST_F(IniFixture, WritesCompareTheWholeFile) {
  struct Case {
    const char* what;
    const char* before;
    std::function<void(TZkIniFile&)> change;
    const char* after;
  };
  const Case cases[] = {
      {"new section after a non-empty last line", "[A]\r\nx=1",
       [](TZkIniFile& f) { f.WriteSectionValues("Job", "History", {"a", "b"}); },
       "[A]\r\nx=1\r\n\r\n[Job]\r\nHistory=a\r\nHistory=b\r\n\r\n"},
      {"new section in an empty file", "", [](TZkIniFile& f) { f.WriteSectionValues("Job", "History", {"a"}); },
       "[Job]\r\nHistory=a\r\n\r\n"},
      {"rewrite keeps other lines and the trailing empty line",
       "[Job]\r\nHistory=a\r\nPath=x\r\nHistory=b\r\n\r\n[B]\r\ny=2\r\n",
       [](TZkIniFile& f) { f.WriteSectionValues("job", "history", {"c", "d", "e"}); },
       "[Job]\r\nPath=x\r\nhistory=c\r\nhistory=d\r\nhistory=e\r\n\r\n[B]\r\ny=2\r\n"},
      {"of two empty lines only the last is outside", "[Job]\r\nPath=x\r\n\r\n\r\n[B]\r\n",
       [](TZkIniFile& f) { f.WriteSectionValues("Job", "History", {"a"}); },
       "[Job]\r\nPath=x\r\n\r\nHistory=a\r\n\r\n[B]\r\n"},
      {"the last section without an empty line", "[Job]\r\nHistory=a\r\n",
       [](TZkIniFile& f) { f.WriteSectionValues("Job", "History", {"a", "b"}); }, "[Job]\r\nHistory=a\r\nHistory=b\r\n"},
      {"one byte without a line end", "x", [](TZkIniFile& f) { f.WriteSectionValues("Job", "History", {"a"}); },
       "x\r\n\r\n[Job]\r\nHistory=a\r\n\r\n"},
      {"erasing every line", "[Job]\r\nHistory=a\r\nHistory=b\r\n\r\n",
       [](TZkIniFile& f) { f.WriteSectionValues("Job", "History", {}); }, "[Job]\r\n\r\n"},
      {"erase in a missing section", "[A]\r\n", [](TZkIniFile& f) { EXPECT_FALSE(f.EraseKey("Job", "x")); },
       "[A]\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = Make(c.before);
    c.change(ini);
    EXPECT_EQ(TempDir::Read(path), c.after);
  }
}

TEST_F(IniFixture, LockKeepsTheFileOpenAcrossOperations) {
  const std::string path = Make("[Job]\r\nHistory=a\r\n\r\n[B]\r\nk=v\r\n");
  ini.SetLock(true);
  ini.WriteSectionValues("Job", "History", {"a", "b"});
  EXPECT_EQ(ini.ReadString("Job", "History", "-"), "a");
  EXPECT_EQ(ini.ReadString("B", "k", "-"), "v");
  ini.WriteSectionValues("B", "k", {"w"});
  ini.SetLock(false);
  EXPECT_EQ(TempDir::Read(path), "[Job]\r\nHistory=a\r\nHistory=b\r\n\r\n[B]\r\nk=w\r\n");
}

TEST_F(IniFixture, MacrosExpandFromStaticOrANamedSectionAndNeverLoop) {
  Make("[Static]\r\nPath=D:\\Backup\r\nSelf=~[Self]~x\r\nPing=~[Pong]~\r\nPong=~[Ping]~\r\n"
       "[Job]\r\nTarget=~[Path]~\\sub\r\nOther=~[Job,Name]~!\r\nName=N\r\nOpen=~[x\r\nLoop=~[Self]~\r\n"
       "Cycle=~[Ping]~\r\n");
  EXPECT_EQ(ini.ReadString("Job", "Target", ""), "D:\\Backup\\sub");
  EXPECT_EQ(ini.ReadString("Job", "Other", ""), "N!");
  EXPECT_EQ(ini.ReadString("Job", "Open", ""), "~[x");
  // Values that lead back to themselves stop with their text unexpanded.
  EXPECT_NE(ini.ReadString("Job", "Loop", "").find("~[Self]~"), std::string::npos);
  EXPECT_NE(ini.ReadString("Job", "Cycle", "").find("~["), std::string::npos);
  Lines values;
  ini.ReadSectionValues("Job", "Target", values);
  EXPECT_EQ(values, Lines{"D:\\Backup\\sub"});
  ini.SetConverting(false);
  EXPECT_EQ(ini.ReadString("Job", "Target", ""), "~[Path]~\\sub");
}

TEST_F(IniFixture, MissingFilesAreReportedAndCreatedOnRequest) {
  const std::string path = dir / "none.ini";
  ini.SetFileName(path);
  ASSERT_EQ(reports, Lines{"A " + path + " ini file nem létezik !"});
  EXPECT_EQ(ini.ReadString("Job", "History", "-"), "-");
  ini.WriteSectionValues("Job", "History", {"a"});  // nothing to write into
  ini.SetFile(path, true);
  EXPECT_EQ(reports.size(), 1u);
  ini.WriteSectionValues("Job", "History", {"a"});
  EXPECT_EQ(TempDir::Read(path), "[Job]\r\nHistory=a\r\n\r\n");
}

TEST_F(IniFixture, LongLinesAndSectionsFarDownTheFile) {
  std::string content;
  for (int i = 0; i < 70000; ++i) content += "line " + std::to_string(i) + "\r\n";
  const std::string longValue(20000, 'v');
  content += "[Far]\r\nKey=" + longValue + "\r\n";
  Make(content);
  EXPECT_EQ(ini.ReadString("Far", "Key", ""), longValue);
  ini.WriteSectionValues("Far", "Key", {"short"});
  EXPECT_EQ(ini.ReadString("Far", "Key", ""), "short");
}

TEST_F(IniFixture, RegistryKeyReadsThePathFromTheSettingsFile) {
  const std::string target = dir.Write("real.ini", "[Job]\r\nk=v\r\n");
  dir.Write("config/backup/settings.ini", "[Software\\Backup]\r\nIniPath=" + target + "\r\n");
  const char* saved = std::getenv("XDG_CONFIG_HOME");
  const std::string old = saved != nullptr ? saved : "";
  setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
  ini.SetRegPath("Software\\Backup");
  ini.SetRegKey("IniPath");
  EXPECT_EQ(ini.Path(), target);
  EXPECT_EQ(ini.ReadString("Job", "k", "-"), "v");
  if (saved != nullptr)
    setenv("XDG_CONFIG_HOME", old.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace zk::test
