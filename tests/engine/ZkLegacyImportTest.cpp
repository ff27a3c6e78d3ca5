#include "engine/ZkLegacyImport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/ZkThreadSave.h"
#include "support/ZkTempDir.h"

namespace zk::test {
namespace {

TEST(LegacyImport, Windows1250SectionsBecomeJobsWithReadableNames) {
  TempDir dir;
  const std::string ini = dir / "Backup.Ini";
  std::filesystem::copy_file(std::string(ZK_TEST_DATA) + "/legacy-1250.ini", ini);
  const std::string xml = dir / "Backup.Xml";
  ImportLegacyJobs(ini, xml, {});

  TZkThreadSave engine;
  engine.LoadFromFile(xml);
  ASSERT_EQ(engine.Saving().Count(), 3);
  const TZkThreadSaveTask& daily = engine.Saving().Items(0);
  EXPECT_EQ(daily.Name, "Napi mentés");
  EXPECT_TRUE(daily.DefineOutput().CreateErrorFile);
  EXPECT_FALSE(daily.DefineOutput().CreateLogFile);
  EXPECT_EQ(daily.DefineOutput().OutputFolder, "D:\\Mentés");
  EXPECT_EQ(daily.DefineOutput().FileName, "Napi");
  ASSERT_EQ(daily.AddFiles().Count(), 2);
  EXPECT_EQ(daily.AddFiles().Items(1).Name, "C:\\Levél\\*.doc");
  EXPECT_FALSE(daily.AddFiles().Items(1).SubDir);
  EXPECT_TRUE(daily.AddFiles().Items(1).Hidden && daily.AddFiles().Items(1).System);
  // "Static" and a section holding only history are jobs too, with the defaults.
  EXPECT_EQ(engine.Saving().Items(1).Name, "Static");
  const TZkThreadSaveTask& weekly = engine.Saving().Items(2);
  EXPECT_EQ(weekly.Name, "Heti összesítés");
  EXPECT_EQ(weekly.DefineOutput().FileName, "TnBackup");
  EXPECT_EQ(weekly.DefineOutput().OutputFolder, "");
  EXPECT_EQ(weekly.AddFiles().Count(), 0);
}

TEST(LegacyImport, Utf8FilesStayAsTheyAreAndMissingFilesAreReported) {
  TempDir dir;
  const std::string ini = dir.Write("Backup.Ini", "[Havi mentés]\r\nPath=/srv/ő\r\n");
  ImportLegacyJobs(ini, dir / "Backup.Xml", {});
  TZkThreadSave engine;
  engine.LoadFromFile(dir / "Backup.Xml");
  ASSERT_EQ(engine.Saving().Count(), 1);
  EXPECT_EQ(engine.Saving().Items(0).Name, "Havi mentés");
  EXPECT_EQ(engine.Saving().Items(0).DefineOutput().OutputFolder, "/srv/ő");

  // A byte-order mark before the first section, as some editors save.
  dir.Write("Backup.Ini", "\xEF\xBB\xBF[Havi mentés]\r\nPath=/srv/ő\r\n");
  ImportLegacyJobs(ini, dir / "Marked.Xml", {});
  engine.LoadFromFile(dir / "Marked.Xml");
  ASSERT_EQ(engine.Saving().Count(), 1);
  EXPECT_EQ(engine.Saving().Items(0).Name, "Havi mentés");
  EXPECT_EQ(engine.Saving().Items(0).DefineOutput().OutputFolder, "/srv/ő");

  std::vector<std::string> reports;
  ImportLegacyJobs(dir / "none.Ini", dir / "Empty.Xml", [&](const std::string& m) { reports.push_back(m); });
  EXPECT_EQ(reports, std::vector<std::string>{"A " + (dir / "none.Ini") + " ini file nem létezik !"});
  engine.LoadFromFile(dir / "Empty.Xml");
  EXPECT_EQ(engine.Saving().Count(), 0);
}

}  // namespace
}  // namespace zk::test
