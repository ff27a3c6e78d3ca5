#include "store/ZkFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/ZkError.h"
#include "support/ZkTempDir.h"

namespace zk::test {
namespace {

using Lines = std::vector<std::string>;

struct TextFileFixture : ::testing::Test {
  std::string Open(const std::string& content, bool write = false) {
    path = dir.Write("t.txt", content);
    file.SetFilename(path);
    EXPECT_TRUE(write ? file.OpenReadWrite() : file.OpenRead());
    return path;
  }
  Lines ReadAll() {
    Lines lines;
    file.First();
    while (!file.Eof()) lines.push_back(file.ReadLine());
    return lines;
  }
  TempDir dir;
  std::string path;
  TZkTextFile file;
};

TEST_F(TextFileFixture, LinesEndAtLfWithOrWithoutCr) {
  const std::pair<const char*, Lines> cases[] = {
      {"", {}},
      {"x", {"x"}},
      {"a\r\nb", {"a", "b"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\nb\rc\n", {"a", "b\rc"}},
      {"\r\n\r\n", {"", ""}},
      {"\n\r\n\n", {"", "", ""}},
      {"a\r\r\nb", {"a\r", "b"}},
      {"a\rb\r", {"a\rb\r"}},
      {"\xEF\xBB\xBF", {}},
      {"\xEF\xBB\xBF" "a\nb", {"a", "b"}},
      {"a\xEF\xBB\xBF\n\xEF\xBB\xBF", {"a\xEF\xBB\xBF", "\xEF\xBB\xBF"}},
  };
  for (const auto& [content, lines] : cases) {
    SCOPED_TRACE(content);
    Open(content);
    EXPECT_EQ(ReadAll(), lines);
    // Backwards from the end, line by line, to the first line.
    file.GotoEnd();
    Lines backwards;
    while (!file.Bof()) {
      file.Prior();
      backwards.insert(backwards.begin(), file.CurrentLine());
    }
    EXPECT_EQ(backwards, lines);
    file.Close();
  }
}

TEST_F(TextFileFixture, ByteOrderMarkStaysBeforeTheFirstLine) {
  Open("\xEF\xBB\xBF" "a\nb\n", true);
  file.First();
  file.InsertLine("new");
  file.GotoLine(3);
  file.DeleteLine();  // "b"
  file.Close();
  EXPECT_EQ(TempDir::Read(path), "\xEF\xBB\xBF" "new\r\na\n");
}

TEST_F(TextFileFixture, MovesAndWindowsHoldTheCurrentLine) {
  Open("l1\r\nl2\r\nl3\r\nl4\r\nl5\r\n");
  file.GotoLine(4);
  EXPECT_EQ(file.CurrentLine(), "l4");
  file.Prior();
  EXPECT_EQ(file.CurrentLine(), "l3");
  EXPECT_EQ(file.LastString(), "l3");
  file.SetWindow(2, 3);
  EXPECT_EQ(file.CurrentLine(), "l2");
  EXPECT_TRUE(file.Bof());
  file.Prior();
  EXPECT_EQ(file.LineNumber(), 2);
  EXPECT_EQ(ReadAll(), (Lines{"l2", "l3"}));
  EXPECT_TRUE(file.Eof());
  EXPECT_EQ(file.CurrentLine(), "");
  file.GotoLine(9);
  EXPECT_EQ(file.LineNumber(), 4);  // just past the window
  file.GotoEnd();
  EXPECT_EQ(file.LineNumber(), 4);
  file.ResetWindow();
  file.GotoEnd();
  EXPECT_EQ(file.LineNumber(), 6);
  EXPECT_TRUE(file.Eof());
}

TEST_F(TextFileFixture, FindFlagsChooseBeginningAndCase) {
  Open("alpha=1\r\nBeta=2\r\nxbeta=3\r\n");
  struct Case {
    const char* text;
    int flags;
    bool found;
    std::int64_t line;
  };
  const Case cases[] = {
      {"beta", TZkTextFile::kBeginsWith, true, 2},
      {"beta", TZkTextFile::kBeginsWith | TZkTextFile::kMatchCase, false, 4},
      {"beta", TZkTextFile::kMatchCase, true, 3},
      {"ETA=", 0, true, 2},
      {"=3", TZkTextFile::kBeginsWith, false, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(file.FindFirst(c.text, c.flags), c.found);
    EXPECT_EQ(file.LineNumber(), c.line);
  }
  file.FindFirst("beta", 0);
  EXPECT_TRUE(file.FindNext("beta", 0));
  EXPECT_EQ(file.LineNumber(), 3);
}

TEST_F(TextFileFixture, ChangesAreMadeInPlaceAndReachTheDiskOnClose) {
  Open("a\r\nb\r\nc", true);
  file.SetWindow(2, 2);
  file.InsertLine("new");
  EXPECT_EQ(file.CurrentLine(), "new");
  EXPECT_EQ(ReadAll(), (Lines{"new", "b"}));
  file.GotoLine(3);
  file.DeleteLine();  // "b"
  file.ResetWindow();
  EXPECT_EQ(ReadAll(), (Lines{"a", "new", "c"}));
  file.AddLine("end");  // "c" had no line end
  EXPECT_EQ(file.CurrentLine(), "end");
  file.Close();
  EXPECT_EQ(TempDir::Read(path), "a\r\nnew\r\nc\r\nend\r\n");

  // Changes far apart in a large file, and many lines in a row.
  std::string big;
  for (int i = 0; i < 60000; ++i) big += "line " + std::to_string(i) + "................\r\n";
  Open(big, true);
  file.GotoLine(2);
  file.DeleteLine();
  file.GotoLine(59000);
  for (int i = 0; i < 500; ++i) file.InsertLine("x" + std::to_string(i));
  file.GotoLine(10);
  file.InsertLine("ten");
  file.Close();
  const std::string after = TempDir::Read(path);
  std::string expected = big;
  const std::string second = "line 1................\r\n";
  expected.erase(expected.find(second), second.size());
  std::string inserted;
  for (int i = 499; i >= 0; --i) inserted += "x" + std::to_string(i) + "\r\n";
  expected.insert(expected.find("line 59000."), inserted);
  expected.insert(expected.find("line 10."), "ten\r\n");
  EXPECT_EQ(after, expected);
}

TEST_F(TextFileFixture, ReadOnlyFilesRefuseChangesAndMissingFilesStayClosed) {
  Open("a\r\n");
  EXPECT_THROW(file.DeleteLine(), EZkFileWriteError);
  file.SetFilename(dir / "missing.txt");
  EXPECT_FALSE(file.OpenRead());
  EXPECT_FALSE(file.Active());
  EXPECT_TRUE(file.Eof());
  file.SetFilename("   ");
  EXPECT_FALSE(file.OpenReadWrite());
  // Switching to writing reopens the file.
  file.SetFilename(path);
  file.SetActive(true);
  file.SetReadOnly(false);
  file.AddLine("b");
  file.SetActive(false);
  EXPECT_EQ(TempDir::Read(path), "a\r\nb\r\n");
}

}  // namespace
}  // namespace zk::test
