#include "platform/ZkTrash.h"

#include <gtest/gtest.h>
#include <time.h>

#include <filesystem>
#include <regex>

#include "platform/ZkSystemError.h"
#include "support/ZkEnvironmentVariable.h"
#include "support/ZkTempDir.h"

namespace zk::platform {
namespace {

namespace fs = std::filesystem;

class TrashTest : public ::testing::Test {
protected:
  std::string Trash() const { return (data.Path() / "Trash").string(); }
  std::string Record(const std::string& name) const {
    return test::TempDir::Read(Trash() + "/info/" + name + ".trashinfo");
  }

  test::TempDir data;
  // The trash lives under the temporary data folder for the test's life.
  test::TEnvironmentVariable dataHome{"XDG_DATA_HOME", data.Path().string()};
  test::TempDir files;
};

// Seconds between the record's deletion date (local time) and now.
double AgeOf(const std::string& deletionDate) {
  tm local{};
  local.tm_isdst = -1;
  if (strptime(deletionDate.c_str(), "%Y-%m-%dT%H:%M:%S", &local) == nullptr) return 1e9;
  return difftime(time(nullptr), mktime(&local));
}

TEST_F(TrashTest, MovesTheFileAndRecordsWhereItCameFrom) {
  const std::string path = files.Write("a b%ü.txt", "content");
  const auto name = MoveToTrash(path);
  ASSERT_TRUE(name) << LastSystemErrorText();
  EXPECT_EQ(*name, "a b%ü.txt");
  EXPECT_FALSE(fs::exists(path));
  EXPECT_EQ(test::TempDir::Read(Trash() + "/files/" + *name), "content");

  const std::string record = Record(*name);
  std::smatch match;
  ASSERT_TRUE(std::regex_match(record, match,
                               std::regex("\\[Trash Info\\]\nPath=(.*)\nDeletionDate=(\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d)\n")))
      << record;
  EXPECT_EQ(match[1].str(), PercentEncodePath(path));
  EXPECT_NE(match[1].str().find("/a%20b%25%C3%BC.txt"), std::string::npos);
  EXPECT_LE(std::abs(AgeOf(match[2].str())), 60);
}

TEST_F(TrashTest, SameNameTwiceGetsANumberedName) {
  const std::string first = files.Write("one/a.txt", "1");
  const std::string second = files.Write("two/a.txt", "2");
  const std::string third = files.Write("three/a.txt", "3");
  EXPECT_EQ(MoveToTrash(first), "a.txt");
  EXPECT_EQ(MoveToTrash(second), "a.2.txt");
  EXPECT_EQ(MoveToTrash(third), "a.3.txt");
  EXPECT_EQ(test::TempDir::Read(Trash() + "/files/a.2.txt"), "2");
  EXPECT_NE(Record("a.2.txt").find("Path=" + PercentEncodePath(second) + "\n"), std::string::npos);
}

TEST_F(TrashTest, MovesAFolderWithItsContent) {
  files.Write("folder/inner/x.txt", "x");
  const auto name = MoveToTrash(files / "folder/");
  ASSERT_TRUE(name) << LastSystemErrorText();
  EXPECT_EQ(*name, "folder");
  EXPECT_FALSE(fs::exists(files / "folder"));
  EXPECT_EQ(test::TempDir::Read(Trash() + "/files/folder/inner/x.txt"), "x");
  EXPECT_NE(Record("folder").find("Path=" + PercentEncodePath(files / "folder") + "\n"), std::string::npos);
}

TEST_F(TrashTest, MissingEntryLeavesNoRecord) {
  EXPECT_FALSE(MoveToTrash(files / "missing.txt"));
  EXPECT_FALSE(LastSystemErrorText().empty());
  EXPECT_FALSE(fs::exists(Trash() + "/info/missing.txt.trashinfo"));
}

TEST(PercentEncodePath, KeepsOnlyPlainBytes) {
  EXPECT_EQ(PercentEncodePath("/home/u/Az én fájlom#1.txt"), "/home/u/Az%20%C3%A9n%20f%C3%A1jlom%231.txt");
  EXPECT_EQ(PercentEncodePath("/a-b_c.d~e"), "/a-b_c.d~e");
}

}  // namespace
}  // namespace zk::platform
