// backup-cli history, verify and restore as the user runs them: the built
// program on a real job file, its history and archives.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/CliProcess.h"
#include "engine/ZkJob.h"
#include "store/ZkTreeData.h"
#include "support/ZkTempDir.h"

namespace zk::test {
namespace {

namespace fs = std::filesystem;

const std::string kCrafted = std::string(ZK_TEST_DATA) + "/crafted/";

class BackupCliRestore : public ::testing::Test {
protected:
  void SetUp() override {
    dir.Write("data/a.txt", "első fájl\n");
    dir.Write("data/sub/árvíztűrő.txt", std::string(5000, 'x'));
    fs::create_directories(dir.Path() / "data/üres");
    TZkThreadSaveTask& job = jobs.Add();
    job.Name = "Minta";
    job.DefineOutput().OutputFolder = dir / "out";
    job.DefineOutput().CreateLogFile = true;
    job.AddFiles().Add().Name = dir / "data";
  }

  void WriteJobFile() {
    TZkTreeData document;
    document.Root().AddNode("Saving").Nodes().Assign(jobs);
    document.SaveToFile(dir / "Backup.Xml");
  }

  TCliResult Cli(std::vector<std::string> arguments) const {
    arguments.insert(arguments.begin(), {"--no-throttle", "--jobs", dir / "Backup.Xml"});
    return RunCli(arguments, dir.Path().string());
  }

  // The job run once, then a history of three runs: that one, a stopped
  // run whose archive is gone, and a differential run whose archive is
  // gone too.
  void RunAndWriteHistory() {
    WriteJobFile();
    ASSERT_EQ(Cli({"run", "Minta"}).ExitCode, 0);
    dir.Write("Backup.Ini", "[Minta]\r\n"
                            "History=Ok;2024.01.05;10:01;Global;" + Archive() + "\r\n"
                            "History=Stopped;2024.01.06;10:01;Global;" + (dir / "out/gone.Zip") + "\r\n"
                            "History=Ok;2024.01.07;10:01;Update;" + (dir / "out/Minta 2024.01.07.Zip") + "\r\n");
  }

  std::string Archive() const { return dir / "out/Minta.Zip"; }

  TempDir dir;
  TZkThreadSaveTasks jobs;
};

TEST(BackupCliRestoreCommandLine, BadCommandLinesGiveExitCodeTwo) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"history"}, "A history parancs egy mentés nevét várja"},
      {{"history", "a", "b"}, "Fölös paraméter: b"},
      {{"verify"}, "Hiányzik a mentés neve vagy az --archive kapcsoló"},
      {{"verify", "a", "b"}, "Fölös paraméter: b"},
      {{"verify", "--archive", "x.zip", "Minta"}, "Az --archive kapcsoló mellett nem kell mentés neve és --run"},
      {{"restore", "--archive", "x.zip"}, "Az --archive kapcsolóhoz a --to kapcsoló is kell"},
      {{"restore", "Minta", "--overwrite", "sometimes"}, "Az --overwrite értéke never, newer vagy always lehet"},
      {{"restore", "Minta", "--run", "0"}, "A --run kapcsoló pozitív egész számot vár: 0"},
      {{"restore", "Minta", "--run=2x"}, "A --run kapcsoló pozitív egész számot vár: 2x"},
      {{"restore", "Minta", "--to"}, "A(z) --to kapcsoló után hiányzik az érték"},
      {{"list", "--to", "x"}, "A --to és az --overwrite kapcsoló csak a restore parancshoz tartozik"},
      {{"history", "Minta", "--run", "1"}, "A --run és az --archive kapcsoló csak a verify és a restore parancshoz"},
  };
  TempDir dir;
  for (const auto& [arguments, message] : cases) {
    SCOPED_TRACE(message);
    const TCliResult result = RunCli(arguments, dir.Path().string());
    EXPECT_EQ(result.ExitCode, 2);
    EXPECT_EQ(result.Out, "");
    EXPECT_NE(result.Err.find(message), std::string::npos) << result.Err;
  }
}

TEST_F(BackupCliRestore, HistoryListsTheRunsNewestFirstWithMissingArchivesAndTheBase) {
  RunAndWriteHistory();
  const TCliResult result = Cli({"history", "minta"});
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_EQ(result.Err, "");
  EXPECT_EQ(result.Out, "1  Ok  2024.01.07 10:01  különbségi  " + (dir / "out/Minta 2024.01.07.Zip") +
                            " (hiányzik)  alap: " + Archive() + "\n"
                            "2  Stopped  2024.01.06 10:01  teljes  " + (dir / "out/gone.Zip") + " (hiányzik)\n"
                            "3  Ok  2024.01.05 10:01  teljes  " + Archive() + "\n");
  const TCliResult unknown = Cli({"history", "Más"});
  EXPECT_EQ(unknown.ExitCode, 2);
  EXPECT_EQ(unknown.Err, "Nincs Más nevű mentés\n");
}

TEST_F(BackupCliRestore, RestoreAndVerifyARunByItsNumber) {
  RunAndWriteHistory();
  // The default run is the newest "Ok" one: its archive is gone.
  const TCliResult gone = Cli({"restore", "Minta", "--to", dir / "back"});
  EXPECT_EQ(gone.ExitCode, 1);
  EXPECT_EQ(gone.Err, "Hiba: Megnyitási hiba (" + (dir / "out/Minta 2024.01.07.Zip") + ")\n");
  const TCliResult noRun = Cli({"restore", "Minta", "--run", "4"});
  EXPECT_EQ(noRun.ExitCode, 2);
  EXPECT_EQ(noRun.Err, "Nincs 4. futása a(z) Minta mentésnek\n");

  const TCliResult restored = Cli({"restore", "Minta", "--run", "3", "--to", dir / "back"});
  EXPECT_EQ(restored.ExitCode, 0) << restored.Err;
  EXPECT_EQ(restored.Out, "Visszaállítva: 2, kihagyva: 0, sikertelen: 0\n");
  const std::string stored = dir / ("back" + (dir / "data"));
  EXPECT_EQ(TempDir::Read(stored + "/a.txt"), "első fájl\n");
  EXPECT_EQ(TempDir::Read(stored + "/sub/árvíztűrő.txt"), std::string(5000, 'x'));
  EXPECT_TRUE(fs::is_directory(stored + "/üres"));
  // Again: every file is there, so each is skipped.
  EXPECT_EQ(Cli({"restore", "Minta", "--run", "3", "--to", dir / "back"}).Out,
            "Visszaállítva: 0, kihagyva: 2, sikertelen: 0\n");

  // To the original paths, only what lies below the path given.
  fs::remove_all(dir.Path() / "data");
  const TCliResult sub = Cli({"restore", "Minta", "--run", "3", dir / "data/sub"});
  EXPECT_EQ(sub.ExitCode, 0) << sub.Err;
  EXPECT_TRUE(fs::exists(dir / "data/sub/árvíztűrő.txt"));
  EXPECT_FALSE(fs::exists(dir / "data/a.txt"));
  const TCliResult nothing = Cli({"restore", "Minta", "--run", "3", dir / "nowhere"});
  EXPECT_EQ(nothing.ExitCode, 1);
  EXPECT_EQ(nothing.Err, "Hiba: Az archívumban nincs ilyen útvonal\n");

  const TCliResult verified = Cli({"verify", "Minta", "--run", "3"});
  EXPECT_EQ(verified.ExitCode, 0);
  EXPECT_EQ(verified.Out, "Az archívum rendben: 7 bejegyzés (" + Archive() + ")\n");
}

TEST_F(BackupCliRestore, VerifyAndRestoreOfADamagedArchiveNameEachBadEntry) {
  const TCliResult verified = Cli({"verify", "--archive", kCrafted + "bad-crc.zip"});
  EXPECT_EQ(verified.ExitCode, 1);
  EXPECT_EQ(verified.Out, "Hibás bejegyzés: bad.txt (hibás CRC)\n1 hibás bejegyzés a(z) 2 közül (" + kCrafted +
                              "bad-crc.zip)\n");
  const TCliResult truncated = Cli({"verify", "--archive", kCrafted + "truncated.zip"});
  EXPECT_EQ(truncated.ExitCode, 1);
  EXPECT_EQ(truncated.Err, "Hiba: Nem olvasható zip archívum (" + kCrafted + "truncated.zip)\n");

  const TCliResult restored = Cli({"restore", "--archive", kCrafted + "dot-dot.zip", "--to", dir / "back"});
  EXPECT_EQ(restored.ExitCode, 1);
  EXPECT_EQ(restored.Err, "Hiba: Nem állítható vissza: ../escaped.txt (\"..\" az útvonalban)\n"
                          "Hiba: Nem állítható vissza: sub/../../escaped.txt (\"..\" az útvonalban)\n");
  EXPECT_EQ(restored.Out, "Visszaállítva: 1, kihagyva: 0, sikertelen: 2\n");
  EXPECT_FALSE(fs::exists(dir / "escaped.txt"));
}

TEST_F(BackupCliRestore, AJobThatVerifiesItsArchiveLogsTheCheck) {
  jobs.Items(0).DefineOutput().VerifyArchive = true;
  WriteJobFile();
  const TCliResult result = Cli({"run", "Minta"});
  EXPECT_EQ(result.ExitCode, 0) << result.Err;
  const std::string log = TempDir::Read(dir / "out/Minta.Log");
  const auto verify = log.find(" - Zip Verify -\r\n");
  const auto ok = log.find(" - Zip Verify Ok -\r\n");
  const auto close = log.find(" - Zip Close -\r\n");
  EXPECT_NE(verify, std::string::npos) << log;
  EXPECT_LT(verify, ok);
  EXPECT_LT(ok, close);
}

TEST_F(BackupCliRestore, OnATerminalRestoreShowsAProgressLine) {
  WriteJobFile();
  ASSERT_EQ(Cli({"run", "Minta"}).ExitCode, 0);
  const TCliResult result = RunCliOnTerminal(
      {"--jobs", dir / "Backup.Xml", "restore", "Minta", "--to", dir / "back"}, dir.Path().string(), 100);
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_NE(result.Out.find("\rVisszaállítás  0:00  "), std::string::npos) << result.Out;
  EXPECT_NE(result.Out.find("Visszaállítva: 2, kihagyva: 0, sikertelen: 0"), std::string::npos) << result.Out;
}

}  // namespace
}  // namespace zk::test
