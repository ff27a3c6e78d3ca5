#include "engine/ZkProgramFiles.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <fstream>
#include <optional>

#include "engine/ZkThreadSave.h"
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
  bool Installed;
  std::optional<std::string> Option;
  const char* Expected;  // relative to the temporary folder
};

TEST(ZkProgramFiles, JobFileFollowsTheRule) {
  const TRuleCase cases[] = {
      {"writable program folder", false, true, false, std::nullopt, "bin/Backup.Xml"},
      {"file in a read-only folder", true, false, false, std::nullopt, "bin/Backup.Xml"},
      {"read-only folder without a file", false, false, false, std::nullopt, "config/backup/Backup.Xml"},
      // Root may write an installed program's folder, and a file may lie
      // there: neither makes it a portable copy.
      {"installed, writable folder", false, true, true, std::nullopt, "config/backup/Backup.Xml"},
      {"installed, a file beside it", true, true, true, std::nullopt, "config/backup/Backup.Xml"},
      {"--jobs wins over all", false, false, true, "jobs/Mine.Xml", "jobs/Mine.Xml"},
      {"--jobs, relative and untidy", true, true, false, "jobs/../jobs/./Mine.Xml", "jobs/Mine.Xml"},
  };
  for (const TRuleCase& c : cases) {
    SCOPED_TRACE(c.Name);
    test::TempDir dir;
    fs::create_directories(dir.Path() / "bin");
    if (c.FileBeside) std::ofstream(dir / "bin/Backup.Xml") << "<x/>";
    const TZkProgramPlace place{dir / "bin", [&](const std::string&) { return c.FolderWritable; }, dir / "config",
                                c.Installed};
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

TEST(ZkProgramFiles, InstalledMeansUnderThePrefix) {
  const struct {
    const char* Folder;
    const char* Prefix;
    bool Under;
  } cases[] = {
      {"/usr/bin", "/usr", true},          {"/usr/bin", "/usr/", true},       {"/usr", "/usr", true},
      {"/usr/local/bin", "/usr", true},    {"/usrx/bin", "/usr", false},      {"/home/anna/bin", "/usr", false},
      {"/usr/../home/bin", "/usr", false}, {"/opt/backup", "/opt/backup", true}, {"/usr/bin", "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Folder) + " in " + c.Prefix);
    EXPECT_EQ(IsUnderPrefix(c.Folder, c.Prefix), c.Under);
  }
}

TEST(ZkProgramFiles, TheFirstStartWritesAnEmptyJobList) {
  test::TempDir dir;
  const TZkProgramFiles files = ResolveProgramFiles(dir / "Backup.Xml");
  EXPECT_TRUE(CreateFirstJobFile(files));
  TZkThreadSaveTasks jobs;
  ReadJobFile(files.JobFile, jobs);
  EXPECT_EQ(jobs.Count(), 0);
  EXPECT_NE(test::TempDir::Read(files.JobFile).find("<Saving"), std::string::npos);
  // Only the job file: no temporary file is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);

  // An existing file, even one that does not load, is left as it is.
  dir.Write("Backup.Xml", "<Saving><Item");
  EXPECT_FALSE(CreateFirstJobFile(files));
  EXPECT_EQ(test::TempDir::Read(files.JobFile), "<Saving><Item");

  // An INI file without a job file is the legacy import's to turn into one.
  fs::remove(files.JobFile);
  dir.Write("Backup.Ini", "[Régi]\r\nPath=/x\r\n");
  EXPECT_FALSE(CreateFirstJobFile(files));
  EXPECT_FALSE(fs::exists(files.JobFile));
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
