#include "engine/ZkProgramFiles.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "platform/ZkUserFolders.h"
#include "support/ZkEnvironmentVariable.h"
#include "support/ZkTempDir.h"

namespace zk {
namespace {

namespace fs = std::filesystem;

struct TRuleCase {
  const char* Name;
  bool FileBeside;
  bool FolderWritable;
  std::optional<std::string> Option;
  const char* Expected;  // relative to the temporary folder
};

TEST(ZkProgramFiles, JobFileFollowsTheRule) {
  const TRuleCase cases[] = {
      {"writable program folder", false, true, std::nullopt, "bin/Backup.Xml"},
      {"file in a read-only folder", true, false, std::nullopt, "bin/Backup.Xml"},
      {"read-only folder without a file", false, false, std::nullopt, "config/backup/Backup.Xml"},
      {"--jobs wins over all", false, false, "jobs/Mine.Xml", "jobs/Mine.Xml"},
      {"--jobs, relative and untidy", true, true, "jobs/../jobs/./Mine.Xml", "jobs/Mine.Xml"},
  };
  for (const TRuleCase& c : cases) {
    SCOPED_TRACE(c.Name);
    test::TempDir dir;
    fs::create_directories(dir.Path() / "bin");
    if (c.FileBeside) std::ofstream(dir / "bin/Backup.Xml") << "<x/>";
    const TZkProgramPlace place{dir / "bin", [&](const std::string&) { return c.FolderWritable; }, dir / "config"};
    std::optional<std::string> option = c.Option;
    if (option) option = (dir.Path() / *option).string();

    const TZkProgramFiles files = ResolveProgramFiles(option, place);

    const fs::path expected = dir.Path() / c.Expected;
    EXPECT_EQ(files.JobFile, expected.string());
    EXPECT_EQ(files.IniFile, (expected.parent_path() / expected.stem()).string() + ".Ini");
    EXPECT_EQ(files.LogFile, (expected.parent_path() / "Log.Txt").string());
    EXPECT_EQ(files.ErrorFile, (expected.parent_path() / "Error.Txt").string());
    // The configuration folder is made when the rule chooses it.
    EXPECT_TRUE(fs::is_directory(expected.parent_path()) || c.Option);
  }
}

TEST(ZkProgramFiles, RelativeJobFileIsMadeAbsolute) {
  const TZkProgramFiles files = ResolveProgramFiles(std::string("Mine.Xml"));
  EXPECT_EQ(files.JobFile, (fs::current_path() / "Mine.Xml").string());
}

TEST(ZkUserFolders, ConfigFolderComesFromXdgConfigHomeOrHome) {
  test::TEnvironmentVariable xdg("XDG_CONFIG_HOME");
  test::TEnvironmentVariable home("HOME");
  home.Set("/home/anna");
  const struct {
    const char* Xdg;
    const char* Expected;
  } cases[] = {
      {"/srv/conf", "/srv/conf"},
      {nullptr, "/home/anna/.config"},
      {"", "/home/anna/.config"},
      {"relative/conf", "/home/anna/.config"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Xdg ? c.Xdg : "(unset)");
    xdg.Set(c.Xdg);
    EXPECT_EQ(platform::UserConfigFolder(), c.Expected);
    EXPECT_EQ(RunningProgramPlace().ConfigFolder, c.Expected);
  }
}

TEST(ZkUserFolders, ReadOnlyFolderIsNotWritable) {
  if (geteuid() == 0) GTEST_SKIP() << "root may write any folder";
  test::TempDir dir;
  EXPECT_TRUE(platform::FolderWritable(dir.Path().string()));
  fs::permissions(dir.Path(), fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_FALSE(platform::FolderWritable(dir.Path().string()));
}

}  // namespace
}  // namespace zk
