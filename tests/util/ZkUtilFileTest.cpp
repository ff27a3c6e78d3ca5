#include "util/ZkUtilFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <regex>
#include <set>
#include <vector>

#include "base/ZkError.h"
#include "platform/ZkDirSearch.h"
#include "support/ZkFileSizeLimit.h"
#include "support/ZkTempDir.h"
#include "util/ZkUtil.h"

namespace zk {
namespace {

namespace fs = std::filesystem;
using platform::faArchive;
using platform::faDirectory;
using platform::faHidden;
using platform::faReadOnly;

constexpr auto kWin = PathStyle::Windows;
constexpr auto kPosix = PathStyle::Posix;

const char* StyleName(PathStyle style) { return style == kWin ? "Windows" : "Posix"; }

struct OneArgCase {
  PathStyle style;
  const char* text;
  const char* expected;
};

TEST(PathTextTest, AddBackslash) {
  const OneArgCase cases[] = {
      {kWin, "", ""},           {kWin, "D", "D:\\"},        {kWin, "d", "d:\\"},
      {kWin, "D:", "D:"},       {kWin, "C:\\x\\", "C:\\x\\"}, {kWin, "C:\\x", "C:\\x\\"},
      {kWin, "DE", "DE\\"},     {kWin, "1", "1\\"},         {kWin, "/x", "/x\\"},
      {kPosix, "", ""},         {kPosix, "x/", "x/"},       {kPosix, "x", "x/"},
      {kPosix, "/", "/"},       {kPosix, "D", "D/"},        {kPosix, "D:", "D:/"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(StyleName(c.style)) + " '" + c.text + "'");
    EXPECT_EQ(AddBackslash(c.text, c.style), c.expected);
  }
}

TEST(PathTextTest, StripBackslash) {
  const OneArgCase cases[] = {
      {kWin, "C:\\", "C:\\"},     {kWin, "c:\\", "c:\\"},       {kWin, "C:\\x\\", "C:\\x"},
      {kWin, "\\", "\\"},         {kWin, "C:\\x\\\\", "C:\\x\\"}, {kWin, "1:\\", "1:"},
      {kWin, "C:", "C:"},         {kWin, "", ""},               {kWin, "x/", "x/"},
      {kPosix, "/", "/"},         {kPosix, "/x/", "/x"},        {kPosix, "x//", "x/"},
      {kPosix, "", ""},           {kPosix, "C:\\", "C:\\"},     {kPosix, "/x", "/x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(StyleName(c.style)) + " '" + c.text + "'");
    EXPECT_EQ(StripBackslash(c.text, c.style), c.expected);
  }
}

TEST(PathTextTest, JoinPath) {
  struct Case {
    PathStyle style;
    const char* folder;
    const char* name;
    const char* expected;
  };
  const Case cases[] = {
      {kWin, "", "a.zip", "a.zip"},
      {kWin, "C:\\x\\", "a.zip", "C:\\x\\a.zip"},
      {kWin, "C:\\x", "a.zip", "C:\\x\\a.zip"},
      {kWin, "/x", "a.zip", "/x\\a.zip"},
      {kPosix, "", "a.zip", "a.zip"},
      {kPosix, "/x/", "a.zip", "/x/a.zip"},
      {kPosix, "/x", "a.zip", "/x/a.zip"},
      {kPosix, "/", "a.zip", "/a.zip"},
      {kPosix, "C:\\x", "a.zip", "C:\\x/a.zip"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(StyleName(c.style)) + " '" + c.folder + "' + '" + c.name + "'");
    EXPECT_EQ(JoinPath(c.folder, c.name, c.style), c.expected);
  }
}

TEST(PathTextTest, FolderAndFileNameParts) {
  struct Case {
    PathStyle style;
    const char* path;
    const char* folder;
    const char* name;
  };
  const Case cases[] = {
      {kWin, "C:\\a\\b.zip", "C:\\a\\", "b.zip"}, {kWin, "C:b.zip", "C:", "b.zip"},
      {kWin, "b.zip", "", "b.zip"},               {kWin, "C:\\a\\", "C:\\a\\", ""},
      {kPosix, "/a/b.zip", "/a/", "b.zip"},       {kPosix, "C:b.zip", "", "C:b.zip"},
      {kPosix, "a\\b", "", "a\\b"},               {kPosix, "/", "/", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(StyleName(c.style)) + " '" + c.path + "'");
    EXPECT_EQ(FolderPart(c.path, c.style), c.folder);
    EXPECT_EQ(FileNamePart(c.path, c.style), c.name);
  }
}

TEST(PathTextTest, NativeStyleIsTheDefault) {
  EXPECT_EQ(JoinPath("x", "y"), JoinPath("x", "y", kNativePathStyle));
  EXPECT_EQ(AddBackslash("x"), "x/");
}

class FileTestBase : public ::testing::Test {
protected:
  // Descriptors open in this process: a copy must leave none behind.
  static std::size_t OpenDescriptors() {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
  }

  test::TempDir dir;
};

using FileQueryTest = FileTestBase;

TEST_F(FileQueryTest, IsFolderFileSize64AndHasAttributes) {
  dir.Write("f.txt", "12345");
  const auto readOnly = dir.Write("ro", "");
  fs::permissions(readOnly, fs::perms::owner_read);
  dir.Write(".x", "");
  fs::create_directory(dir / "d");
  fs::create_directory_symlink("d", dir / "dlink");
  dir.Write("big", "");
  fs::resize_file(dir / "big", std::uint64_t{5} << 30);
  // "?" and "*" are ordinary letters of a Posix name, not wildcards.
  dir.Write("a?b", "123");
  dir.Write("aab", "1234567");
  dir.Write("xyz", "1234");

  for (const auto& [name, folder] : std::vector<std::pair<std::string, bool>>{
           {"d", true}, {"d/", true}, {"dlink", true}, {"f.txt", false}, {"missing", false}}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(IsFolder(dir / name), folder);
  }
  EXPECT_FALSE(IsFolder(""));

  for (const auto& [name, size] : std::vector<std::pair<std::string, std::int64_t>>{
           {"f.txt", 5},
           {"big", std::int64_t{5} << 30},
           {"d", -1},
           {"missing", -1},
           {"a?b", 3},
           {"x?z", -1},
           {"*.txt", -1}}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(FileSize64(dir / name), size);
  }

  struct AttributeCase {
    const char* name;
    int mask;
    bool has;
  };
  const AttributeCase attributeCases[] = {
      {"ro", faReadOnly, true},  {"ro", faReadOnly | faHidden, false}, {".x", faHidden | faArchive, true},
      {"f.txt", faHidden, false}, {"f.txt", 0, true},                   {"d", faDirectory, true},
      {"missing", 0, false},
  };
  for (const auto& c : attributeCases) {
    SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.mask));
    EXPECT_EQ(HasAttributes(dir / c.name, c.mask), c.has);
  }
}

using FolderCreationTest = FileTestBase;

TEST_F(FolderCreationTest, CreateFolderTreeMakesEveryMissingLevel) {
  CreateFolderTree(dir / "a/b/c/");
  EXPECT_TRUE(fs::is_directory(dir / "a/b/c"));
  CreateFolderTree(dir / "a/b/c");  // existing: nothing to do
  EXPECT_TRUE(fs::is_directory(dir / "a/b/c"));
  CreateFolderTree(dir / "x//y");
  EXPECT_TRUE(fs::is_directory(dir / "x/y"));
  dir.Write("file", "");
  CreateFolderTree(dir / "file/sub");  // fails quietly
  EXPECT_FALSE(fs::exists(dir / "file/sub"));
  CreateFolderTree("");
}

TEST_F(FolderCreationTest, CreateFolderPathMakesTheFoldersOfAFilePath) {
  EXPECT_TRUE(CreateFolderPath(dir / "a/b/c.zip"));
  EXPECT_TRUE(fs::is_directory(dir / "a/b"));
  EXPECT_FALSE(fs::exists(dir / "a/b/c.zip"));
  EXPECT_TRUE(CreateFolderPath(dir / "a/b/c.zip"));  // all there already

  dir.Write("file", "");
  EXPECT_FALSE(CreateFolderPath(dir / "file/b/c.zip"));
  EXPECT_FALSE(fs::exists(dir / "file/b"));
  EXPECT_TRUE(CreateFolderPath("c.zip"));  // no folder to make
  EXPECT_FALSE(fs::exists("c.zip"));
}

class RecordingReceiver : public TZkProgressReceiver {
public:
  void SetMax(std::int64_t value) override { events.push_back("Max " + std::to_string(value)); }
  void SetMin(std::int64_t value) override { events.push_back("Min " + std::to_string(value)); }
  void SetPosition(std::int64_t value) override {
    events.push_back("Position " + std::to_string(value));
    if (stopAt >= 0 && value >= stopAt) throw std::runtime_error("Stopped In Copy");
  }

  std::vector<std::string> events;
  std::int64_t stopAt = -1;
};

class CopyTest : public FileTestBase {
protected:
  static std::string Bytes(std::size_t size) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>(i * 7 + i / 251);
    return data;
  }

  // The kind and text of the error a copy raises.
  static std::string Failure(const std::function<void()>& copy) {
    try {
      copy();
    } catch (const EZkFileOpenError& e) {
      return std::string("open: ") + e.what();
    } catch (const EZkFileCreateError& e) {
      return std::string("create: ") + e.what();
    } catch (const EZkFileReadError& e) {
      return std::string("read: ") + e.what();
    } catch (const EZkFileWriteError& e) {
      return std::string("write: ") + e.what();
    }
    return "no error";
  }
};

TEST_F(CopyTest, ReportsProgressPerBlockAndKeepsTheModificationTime) {
  const auto source = dir.Write("src.bin", Bytes(65536));
  const platform::FileTime stamp{1'704'441'723, 123'456'789};
  ASSERT_TRUE(platform::SetModifiedTime(source, stamp));
  RecordingReceiver receiver;
  CopyFileWithProgress(source, dir / "dst.bin", &receiver);
  EXPECT_EQ(receiver.events, (std::vector<std::string>{"Max 65536", "Min 0", "Position 0", "Position 32768",
                                                       "Position 65536", "Position 65536"}));
  EXPECT_EQ(test::TempDir::Read(dir / "dst.bin"), Bytes(65536));
  EXPECT_EQ(platform::ReadFileInfo(dir / "dst.bin")->Modified, stamp);

  // A short last block ends the copy: no second report of the same total.
  const auto small = dir.Write("small.bin", Bytes(100));
  RecordingReceiver smallReceiver;
  CopyFileWithProgress(small, dir / "small-copy.bin", &smallReceiver);
  EXPECT_EQ(smallReceiver.events, (std::vector<std::string>{"Max 100", "Min 0", "Position 0", "Position 100"}));
}

TEST_F(CopyTest, ReplacesAnExistingFileAndCreatesMissingFolders) {
  for (const std::size_t size : {0, 1, 32767, 32768, 32769, 100'000}) {
    SCOPED_TRACE(size);
    const auto source = dir.Write("src.bin", Bytes(size));
    const auto target = dir / "new/deeper/dst.bin";
    if (size > 0) dir.Write("new/deeper/dst.bin", std::string(200'000, 'o'));
    RecordingReceiver receiver;
    CopyFileWithProgress(source, target, &receiver);
    EXPECT_EQ(test::TempDir::Read(target), Bytes(size));
    EXPECT_EQ(receiver.events.back(), "Position " + std::to_string(size));
  }
  CopyFileWithProgress(dir / "src.bin", dir / "plain.bin", nullptr);
  EXPECT_EQ(test::TempDir::Read(dir / "plain.bin"), Bytes(100'000));
}

TEST_F(CopyTest, CopyOntoAFolderGoesInsideIt) {
  const auto source = dir.Write("a/report.txt", "data");
  fs::create_directory(dir / "target");
  for (const char* destination : {"target", "target/"}) {
    SCOPED_TRACE(destination);
    fs::remove(dir / "target/report.txt");
    CopyFileWithProgress(source, dir / destination, nullptr);
    EXPECT_EQ(test::TempDir::Read(dir / "target/report.txt"), "data");
  }
}

TEST_F(CopyTest, FailuresRaiseTheirOwnKindAndLeaveNothingOpen) {
  const auto source = dir.Write("src.txt", "keep me");
  fs::create_hard_link(source, dir / "hardlink.txt");
  dir.Write("file", "");
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0644), 0);
  const auto descriptors = OpenDescriptors();
  struct Case {
    std::string source;
    std::string destination;
    std::string failure;
  };
  const Case cases[] = {
      {dir / "missing", dir / "out", "open: Megnyitási hiba (" + dir / "missing" + ")"},
      {dir.Path().string(), dir / "out", "open: Megnyitási hiba (" + dir.Path().string() + ")"},
      {dir / "pipe", dir / "out", "open: Megnyitási hiba (" + dir / "pipe" + ")"},  // must not hang
      {source, dir / "file/out", "create: Létrehozási hiba (" + dir / "file/out" + ")"},
      {source, dir / "pipe", "create: Létrehozási hiba (" + dir / "pipe" + ")"},
      {source, source, "create: Létrehozási hiba (" + source + ")"},
      {source, dir.Path().string(), "create: Létrehozási hiba (" + dir / "src.txt" + ")"},
      {source, dir / "hardlink.txt", "create: Létrehozási hiba (" + dir / "hardlink.txt" + ")"},
      {"/proc/self/mem", dir / "out", "read: Olvasási hiba"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source + " -> " + c.destination);
    EXPECT_EQ(Failure([&] { CopyFileWithProgress(c.source, c.destination, nullptr); }), c.failure);
  }
  EXPECT_EQ(test::TempDir::Read(source), "keep me");
  EXPECT_EQ(OpenDescriptors(), descriptors);
}

// A file-size limit makes the disk refuse the rest of the copy, as a full
// disk would.
TEST_F(CopyTest, RefusedWriteIsAWriteErrorAndKeepsThePreviousCopy) {
  const auto source = dir.Write("src.bin", Bytes(100'000));
  const auto target = dir.Write("dst.bin", "previous copy");
  const auto failure = Failure([&] {
    const test::TFileSizeLimit full(40'000);
    CopyFileWithProgress(source, target, nullptr);
  });
  EXPECT_EQ(failure, "write: Írási hiba, megtelt a lemez (" + target + ")");
  EXPECT_EQ(test::TempDir::Read(target), "previous copy");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2);
}

TEST_F(CopyTest, ReceiverThatThrowsStopsTheCopyAndLeavesThePreviousOne) {
  const auto source = dir.Write("src.bin", Bytes(100'000));
  dir.Write("old.bin", "previous copy");
  const auto descriptors = OpenDescriptors();
  for (const char* name : {"dst.bin", "old.bin"}) {
    RecordingReceiver receiver;
    receiver.stopAt = 32768;
    EXPECT_THROW(CopyFileWithProgress(source, dir / name, &receiver), std::runtime_error);
    EXPECT_EQ(receiver.events.back(), "Position 32768");
  }
  EXPECT_FALSE(fs::exists(dir / "dst.bin"));
  EXPECT_EQ(test::TempDir::Read(dir / "old.bin"), "previous copy");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2);
  EXPECT_EQ(OpenDescriptors(), descriptors);
}

using NameTest = FileTestBase;

TEST_F(NameTest, LongAndShortNamesAreTheNamesOnDisk) {
  dir.Write("sub/Report 2024.txt", "");
  const auto file = dir / "sub/Report 2024.txt";
  EXPECT_EQ(LongFileName(file), "Report 2024.txt");
  EXPECT_EQ(ShortFileName(file), "Report 2024.txt");
  EXPECT_EQ(LongFileName(dir / "sub/missing"), "");
  // Names are looked up as they stand: "?" and "*" are letters of a name.
  dir.Write("sub/a*b", "");
  EXPECT_EQ(LongFileName(dir / "sub/report*.TXT"), "");
  EXPECT_EQ(LongFileName(dir / "sub/Report 202?.txt"), "");
  EXPECT_EQ(LongFileName(dir / "sub/a*b"), "a*b");
  EXPECT_EQ(LongPathName(dir / "sub/a*b"), dir / "sub/a*b");
  EXPECT_EQ(ShortFileName(dir / "sub/missing"), "");

  EXPECT_EQ(LongPathName(file), file);
  EXPECT_EQ(ShortPathName(file), file);
  EXPECT_EQ(LongPathName(dir / "sub/missing/x.txt"), dir / "sub/missing/x.txt");
  EXPECT_EQ(LongPathName(dir / "sub/"), dir / "sub/");
  EXPECT_EQ(LongPathName("/"), "/");
}

using ListFilesTest = FileTestBase;

TEST_F(ListFilesTest, FilterSelectsFilesAndFolders) {
  dir.Write("a.txt", "");
  dir.Write("B.TXT", "");
  dir.Write(".h", "");
  fs::create_directory(dir / "d");
  fs::create_directory(dir / ".hd");
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0644), 0);
  using Names = std::set<std::string>;
  struct Case {
    const char* mask;
    int filter;
    Names names;
  };
  const Case cases[] = {
      {"*.*", 63, {"a.txt", "B.TXT", ".h", "d", ".hd"}},
      {"*", faDirectory, {"d"}},  // exactly the directory bit: directories only
      {"*", faDirectory | faHidden, {"a.txt", "B.TXT", ".h", "d", ".hd"}},
      {"*.txt", 0, {"a.txt", "B.TXT"}},
      {"a.txt", 0, {"a.txt"}},
      {"missing/*.*", 63, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.mask) + " " + std::to_string(c.filter));
    const auto listed = ListFiles(dir / c.mask, c.filter);
    EXPECT_EQ(Names(listed.begin(), listed.end()), c.names);
    EXPECT_EQ(listed.size(), c.names.size());  // nothing twice
  }
}

TEST(FileVersionTest, ProgramsCarryTheirVersionAndOtherFilesNone) {
  const auto version = GetFileVersionText("");
  EXPECT_TRUE(std::regex_match(version, std::regex(R"(\d+\.\d+\.\d+\.\d+)"))) << version;
  EXPECT_EQ(GetFileVersionText("/proc/self/exe"), version);
  EXPECT_EQ(FileVersionValue("ProductName", ""), "Backup");
  EXPECT_EQ(FileVersionValue("NoSuchKey", ""), "");

  test::TempDir dir;
  for (const auto& file : {dir.Write("plain.txt", "FileVersion=1.0.0.0\n"), std::string("/bin/true"), dir / "missing"}) {
    SCOPED_TRACE(file);
    EXPECT_EQ(GetFileVersionText(file), "");
  }
}

}  // namespace
}  // namespace zk
