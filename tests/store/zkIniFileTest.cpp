#include "store/zkIniFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "base/ZkError.h"
#include "support/ZkFileSizeLimit.h"
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

TEST_F(IniFixture, LfAloneEndsALineToo) {
  Make("k=a\nj=b\r\n[Job]\nx=c\rd\n");
  Lines sections;
  ini.ReadSections(sections);
  EXPECT_EQ(sections, Lines{"Job"});
  EXPECT_EQ(ini.ReadString("", "k", "-"), "a");
  EXPECT_EQ(ini.ReadString("", "j", "-"), "b");
  EXPECT_EQ(ini.ReadString("Job", "x", "-"), "c\rd");  // a lone CR stays text
}

TEST_F(IniFixture, HandEditedLfFileKeepsItsHistoryAfterAWrite) {
  const std::string path = Make("[Job]\nHistory=a\nHistory=b\n\n[Other]\nk=v\n");
  ini.WriteSectionValues("Job", "History", {"a", "b", "c"});
  EXPECT_EQ(TempDir::Read(path), "[Job]\nHistory=a\r\nHistory=b\r\nHistory=c\r\n\n[Other]\nk=v\n");
  Lines sections;
  ini.ReadSections(sections);
  EXPECT_EQ(sections, (Lines{"Job", "Other"}));
}

TEST_F(IniFixture, ByteOrderMarkIsSkippedAndKept) {
  const std::string bom = "\xEF\xBB\xBF";
  const std::string path = Make(bom + "[Job]\r\nPath=x\r\nHistory=a\r\n");
  Lines sections;
  ini.ReadSections(sections);
  EXPECT_EQ(sections, Lines{"Job"});
  EXPECT_EQ(ini.ReadString("Job", "Path", "-"), "x");
  EXPECT_EQ(ini.ReadString("", "Path", "-"), "-");  // no nameless section
  ini.WriteSectionValues("Job", "History", {"a", "b"});
  EXPECT_EQ(TempDir::Read(path), bom + "[Job]\r\nPath=x\r\nHistory=a\r\nHistory=b\r\n");
  ini.AddSection("");
  EXPECT_EQ(TempDir::Read(path), bom + "\r\n[Job]\r\nPath=x\r\nHistory=a\r\nHistory=b\r\n");

  // A file holding only the mark gets no empty line before the first one.
  Make(bom);
  ini.WriteSectionValues("Job", "History", {"a"});
  EXPECT_EQ(TempDir::Read(path), bom + "[Job]\r\nHistory=a\r\n\r\n");
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

TEST_F(IniFixture, LockedWritesAfterALastLineWithoutLineEndReplaceTheirLines) {
  const std::string path = Make("[Job]");
  ini.SetLock(true);
  ini.WriteSectionValues("Job", "History", {"a", "b"});
  ini.WriteSectionValues("Job", "History", {"c"});
  ini.SetLock(false);
  EXPECT_EQ(TempDir::Read(path), "[Job]\r\nHistory=c\r\n");
}

TEST_F(IniFixture, AGrowingWriteThatFailsLeavesTheFileAsItWas) {
  std::string content = "[Job]\r\nHistory=old\r\n\r\n[Other]\r\n";
  for (int i = 0; i < 5000; ++i) content += "Key" + std::to_string(i) + "=value\r\n";
  const std::string path = Make(content);
  std::string message;
  {
    const TFileSizeLimit full(content.size());
    try {
      ini.WriteSectionValues("Job", "History", {"old", "new"});
    } catch (const EZkFileWriteError& e) {
      message = e.what();
    }
  }
  EXPECT_EQ(message, "Írási hiba, megtelt a lemez (" + path + ")");
  EXPECT_EQ(TempDir::Read(path), content);
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) names.insert(entry.path().filename());
  EXPECT_EQ(names, (std::set<std::string>{"Backup.Ini", "Backup.Ini.lock"})) << "temporary file left behind";
  ini.WriteSectionValues("Job", "History", {"old", "new"});
  Lines values;
  ini.ReadSectionValues("Job", "History", values);
  EXPECT_EQ(values, (Lines{"old", "new"}));
  EXPECT_EQ(ini.ReadString("Other", "Key4999", "-"), "value");
}

TEST_F(IniFixture, EveryValueOfAListGetsItsMacrosExpanded) {
  std::string content = "[Static]\r\nPath=D:\r\n[Job]\r\n";
  for (int i = 0; i < 300; ++i) content += "Files=~[Path]~\\" + std::to_string(i) + "\r\n";
  Make(content);
  Lines values;
  ini.ReadSectionValues("Job", "Files", values);
  ASSERT_EQ(values.size(), 300u);
  for (int i = 0; i < 300; ++i) EXPECT_EQ(values[static_cast<std::size_t>(i)], "D:\\" + std::to_string(i));
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

TEST_F(IniFixture, MacrosThatMultiplyStayBounded) {
  // Each value names the next one twice: every level would double the text.
  std::string content = "[Static]\r\nPing=<~[Pong]~XY~[Pong]~\r\nPong=~[Ping]~\r\n";
  for (int i = 0; i < 40; ++i)
    content += "A" + std::to_string(i) + "=~[A" + std::to_string(i + 1) + "]~~[A" + std::to_string(i + 1) + "]~\r\n";
  content += "A40=0123456789\r\n";
  Make(content);
  EXPECT_EQ(ini.ReadString("Static", "Ping", ""), "<~[Ping]~XY~[Ping]~");
  const std::string doubled = ini.ReadString("Static", "A0", "");
  EXPECT_LE(doubled.size(), 1u << 16);
  EXPECT_EQ(doubled.rfind("~[A", 0), 0u) << "expanded no further than the bound allows";
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
