#include "platform/ZkVersionInfo.h"

#include <gtest/gtest.h>

#include <regex>

#include "support/ZkTempDir.h"

namespace zk::platform {
namespace {

// A block as the build lays it out, made at run time so that this test
// program carries the marker only once, in the real block.
std::string Block(const std::string& pairs) { return std::string(VersionBlockMarker()) + pairs; }

std::string Pairs(std::initializer_list<std::pair<std::string, std::string>> pairs) {
  std::string text;
  for (const auto& [key, value] : pairs) {
    text += key;
    text += '\0';
    text += value;
    text += '\0';
  }
  return text + '\0';
}

TEST(VersionInfoTest, RunningProgramCarriesItsVersion) {
  const auto version = ReadVersionValue("FileVersion", "");
  EXPECT_TRUE(std::regex_match(version, std::regex(R"(\d+\.\d+\.\d+\.\d+)"))) << version;
  EXPECT_EQ(ReadVersionValue("productversion", ""), version);
  EXPECT_EQ(ReadVersionValue("ProductName", "/proc/self/exe"), "Backup");
  EXPECT_EQ(ReadVersionValue("Comments", ""), "");
}

TEST(VersionInfoTest, ProgramCarriesTheMarkerOnce) {
  // A second copy (a literal, or debug information) could be found first.
  const auto program = test::TempDir::Read("/proc/self/exe");
  const std::string marker(VersionBlockMarker());
  const auto first = program.find(marker);
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(program.find(marker, first + 1), std::string::npos);
}

TEST(VersionInfoTest, FilesWithoutABlockGiveEmptyText) {
  test::TempDir dir;
  const std::string files[] = {
      dir.Write("plain.txt", "FileVersion 1.2.3.4\n"),
      dir.Write("empty", ""),
      dir.Write("truncated", "xx" + Block(std::string("FileVersion\0" "1.2", 15))),
      dir / "missing",
      dir.Path().string(),  // a folder
      "/bin/true",
  };
  for (const auto& file : files) {
    SCOPED_TRACE(file);
    EXPECT_EQ(ReadVersionValue("FileVersion", file), "");
  }
}

TEST(VersionInfoTest, FindsABlockWhereverItLies) {
  test::TempDir dir;
  const auto block = Block(Pairs({{"FileVersion", "9.8.7.6"}, {"ProductName", "Other"}}));
  const auto marker = VersionBlockMarker().size();
  // At the start, split across the first chunk boundary at every place that
  // matters, with the pairs beyond the boundary, and far into the file.
  const std::size_t offsets[] = {0,
                                 kVersionScanChunkSize - 1,
                                 kVersionScanChunkSize - marker + 1,
                                 kVersionScanChunkSize - marker,
                                 kVersionScanChunkSize - marker - 3,
                                 3 * kVersionScanChunkSize + 17};
  for (const auto offset : offsets) {
    SCOPED_TRACE(offset);
    const auto file = dir.Write("prog", std::string(offset, 'x') + block + std::string(100, 'y'));
    EXPECT_EQ(ReadVersionValue("FileVersion", file), "9.8.7.6");
    EXPECT_EQ(ReadVersionValue("ProductName", file), "Other");
    EXPECT_EQ(ReadVersionValue("Missing", file), "");
  }
}

TEST(VersionInfoTest, EmptyPairListHasNoValues) {
  test::TempDir dir;
  const auto file = dir.Write("prog", Block(std::string(1, '\0')) + "FileVersion" + std::string(1, '\0') + "1");
  EXPECT_EQ(ReadVersionValue("FileVersion", file), "");
}

}  // namespace
}  // namespace zk::platform
