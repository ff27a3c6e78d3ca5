#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "base/ZkError.h"
#include "engine/ZkRunRecords.h"
#include "engine/ZkThreadSave.h"
#include "support/ZkFakeClock.h"
#include "support/ZkTempDir.h"
#include "util/ZkUtil.h"

namespace zk::test {
namespace {

using Lines = std::vector<std::string>;

// An engine on a fixed clock whose run copy writes below a temporary folder.
struct RecordsFixture : ::testing::Test {
  RecordsFixture() {
    clock.Set(2024, 1, 5, 9, 7, 3);
    engine.HistoryFilename = dir / "Backup.Ini";
    auto task = std::make_unique<TZkThreadActiveTask>();
    task->Name = "Documents";
    task->StartDate = EncodeDate(2024, 1, 5);
    task->StartTime = EncodeTime(9, 7, 3, 0);
    task->DefineOutput().OutputFolder = dir / "out";
    std::filesystem::create_directories(dir / "out");
    engine.SetActiveTask(std::move(task));
  }
  TZkThreadActiveTask& Task() { return *engine.ActiveTask(); }
  bool Exists(const std::string& path) { return std::filesystem::exists(path); }

  TempDir dir;
  TFixedClock clock;
  TZkThreadSave engine{clock};
};

TEST_F(RecordsFixture, LinesGoToTheSharedAndTheRunsFilesWithTheirStamp) {
  engine.LogFilename = dir / "Log.Txt";
  engine.ErrorFilename = dir / "Error.Txt";
  Lines logEvents, errorEvents;
  engine.OnLogEvent = [&](TZkThreadSave&, const std::string& text) { logEvents.push_back(text); };
  engine.OnErrorEvent = [&](TZkThreadSave&, const std::string& text) { errorEvents.push_back(text); };
  Task().DefineOutput().CreateLogFile = true;
  Task().DefineOutput().CreateErrorFile = true;
  TZkThreadSave::PrepareRecordFiles(Task());
  EXPECT_EQ(Task().LogFile, dir / "out/Documents.Log");
  EXPECT_EQ(Task().ErrorFile, dir / "out/Documents.Err");
  EXPECT_FALSE(Exists(Task().LogFile));  // made by the first line

  engine.Log("- Zip Create -");
  clock.Set(2024, 1, 5, 9, 8, 0);
  engine.Error("Megnyitási hiba (x)");
  const std::string stamp1 = "2024.01.05 09:07:03 ", stamp2 = "2024.01.05 09:08:00 ";
  EXPECT_EQ(TempDir::Read(engine.LogFilename), stamp1 + "- Zip Create -\r\n" + stamp2 + "Megnyitási hiba (x)\r\n");
  EXPECT_EQ(TempDir::Read(Task().LogFile), TempDir::Read(engine.LogFilename));
  EXPECT_EQ(TempDir::Read(engine.ErrorFilename), stamp2 + "Megnyitási hiba (x)\r\n");
  EXPECT_EQ(TempDir::Read(Task().ErrorFile), TempDir::Read(engine.ErrorFilename));
  EXPECT_EQ(logEvents, (Lines{"- Zip Create -", "Megnyitási hiba (x)"}));
  EXPECT_EQ(errorEvents, Lines{"Megnyitási hiba (x)"});

  // A second run of the same name without a work folder appends.
  TZkThreadSave::FinishRecordFiles(Task());
  engine.Log("second run");
  EXPECT_NE(TempDir::Read(Task().LogFile).find("- Zip Create -"), std::string::npos);
  EXPECT_NE(TempDir::Read(Task().LogFile).find("second run"), std::string::npos);

  // Without a run copy only the shared file and the event get the line.
  engine.SetActiveTask(nullptr);
  engine.Log("after");
  EXPECT_EQ(logEvents.back(), "after");
}

TEST_F(RecordsFixture, AWorkFolderKeepsNoRecordsAndTheTargetsGetCopies) {
  Task().DefineOutput().CreateLogFile = true;
  Task().DefineOutput().CreateErrorFile = true;
  Task().DefineOutput().Temp = dir / "work";
  Task().DefineOutput().DuplicateFolder = dir / "dup";
  std::filesystem::create_directories(dir / "work");
  TZkThreadSave::PrepareRecordFiles(Task());
  EXPECT_EQ(Task().LogFile, dir / "work/Documents.Log");
  engine.Log("line");
  TZkThreadSave::FinishRecordFiles(Task());
  EXPECT_FALSE(Exists(dir / "work/Documents.Log"));
  EXPECT_TRUE(Exists(dir / "out/Documents.Log"));
  EXPECT_TRUE(Exists(dir / "dup/Documents.Log"));
  // No error, no error file anywhere.
  EXPECT_FALSE(Exists(dir / "work/Documents.Err"));
  EXPECT_FALSE(Exists(dir / "out/Documents.Err"));
  EXPECT_FALSE(Exists(dir / "dup/Documents.Err"));

  engine.Error("bad");
  TZkThreadSave::FinishRecordFiles(Task());
  EXPECT_TRUE(Exists(dir / "out/Documents.Err"));
  EXPECT_TRUE(Exists(dir / "dup/Documents.Err"));
  EXPECT_FALSE(Exists(dir / "work/Documents.Err"));

  // A copy that cannot be made is reported, and the work folder's file stays.
  engine.Log("again");
  dir.Write("blocked", "a file where the duplicate folder should be");
  Task().DefineOutput().DuplicateFolder = dir / "blocked/dup";
  EXPECT_THROW(TZkThreadSave::FinishRecordFiles(Task()), EZkFileError);
  EXPECT_TRUE(Exists(dir / "work/Documents.Log"));
}

TEST_F(RecordsFixture, HistoryEntriesAndTheUpdateBase) {
  EXPECT_TRUE(engine.ReadHistory(Task()).empty());
  EXPECT_TRUE(Exists(engine.HistoryFilename));  // created on the first read

  Lines history = {"Ok;2024.01.01;10:00;Global;/a.Zip", "ok;2024.01.02;10:00;GLOBAL;/b.Zip",
                   "Stopped;2024.01.03;10:00;Global;/c.Zip", "Ok;2024.01.04;10:00;Update;/d.Zip"};
  EXPECT_EQ(TZkThreadSave::FindUpdateBase(history), "/b.Zip");
  EXPECT_EQ(TZkThreadSave::FindUpdateBase({"Stopped;x;y;Global;/a"}), std::nullopt);

  const std::string archive = Task().GetOutputPath();
  EXPECT_EQ(TZkThreadSave::HistoryEntry(Task(), TZkRunStatus::rsStopped, false),
            "Stopped;2024.01.05;09:07;Global;" + archive);
  EXPECT_EQ(TZkThreadSave::HistoryEntry(Task(), TZkRunStatus::rsOk, true), "Ok;2024.01.05;09:07;Update;" + archive);
  EXPECT_EQ(TZkThreadSave::HistoryEntry(Task(), TZkRunStatus::rsIncomplete, false),
            "Incomplete;2024.01.05;09:07;Global;" + archive);
  // An incomplete run is no base for update runs: files may be missing.
  EXPECT_EQ(TZkThreadSave::FindUpdateBase({"Ok;x;y;Global;/a", "Incomplete;x;y;Global;/b"}), "/a");

  history.push_back(TZkThreadSave::HistoryEntry(Task(), TZkRunStatus::rsStopped, false));
  engine.WriteHistory(Task(), history);
  EXPECT_EQ(engine.ReadHistory(Task()), history);

  // A renamed job starts a section of its own; the old one stays.
  Task().Name = "Renamed";
  EXPECT_TRUE(engine.ReadHistory(Task()).empty());
  engine.WriteHistory(Task(), {"Ok;x;y;Global;/r.Zip"});
  const std::string file = TempDir::Read(engine.HistoryFilename);
  EXPECT_NE(file.find("[Documents]\r\nHistory=Ok;2024.01.01"), std::string::npos);
  EXPECT_NE(file.find("[Renamed]\r\nHistory=Ok;x;y;Global;/r.Zip\r\n"), std::string::npos);
}

TEST_F(RecordsFixture, AJobsHistoryReadOnlyToLook) {
  const std::string missing = dir / "None.Ini";
  EXPECT_TRUE(TZkRunRecords::ReadJobHistory(missing, "Documents").empty());
  EXPECT_FALSE(Exists(missing));  // looking creates nothing

  const std::string ini = dir.Write("Look.Ini",
                                    "[Other]\r\nHistory=Ok;a;b;Global;/o\r\n"
                                    "[Documents]\r\nHistory=Ok;1;2;Global;/a\r\nHistory=Stopped;3;4;Update;/b\r\n");
  EXPECT_EQ(TZkRunRecords::ReadJobHistory(ini, "Documents"), (Lines{"Ok;1;2;Global;/a", "Stopped;3;4;Update;/b"}));
  EXPECT_TRUE(TZkRunRecords::ReadJobHistory(ini, "Never").empty());
}

TEST_F(RecordsFixture, TwoProgramsWritingOneHistoryLoseNoEntry) {
  // Two jobs' runs at once: each reads its history, appends an entry and
  // writes it back, as a run does, while the other program does the same.
  constexpr int kRuns = 60;
  engine.WriteHistory(Task(), {"Ok;first;run;Global;/a.Zip"});
  const auto runs = [&](const std::string& job, const std::string& program) {
    Task().Name = job;
    for (int i = 0; i < kRuns; ++i) {
      Lines history = engine.ReadHistory(Task());
      history.push_back("Ok;" + program + ";" + std::to_string(i) + ";Global;/a.Zip");
      engine.WriteHistory(Task(), history);
    }
  };
  std::vector<pid_t> children;
  for (const char* program : {"one", "two"}) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      runs("Documents", program);
      runs(std::string("Job ") + program, program);
      _exit(0);
    }
    children.push_back(child);
  }
  for (const pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  Task().Name = "Documents";
  const Lines shared = engine.ReadHistory(Task());
  ASSERT_EQ(shared.size(), 2u * kRuns + 1);
  EXPECT_EQ(shared.front(), "Ok;first;run;Global;/a.Zip");
  for (const char* program : {"one", "two"}) {
    Lines expected, mine;
    for (int i = 0; i < kRuns; ++i)
      expected.push_back("Ok;" + std::string(program) + ";" + std::to_string(i) + ";Global;/a.Zip");
    for (const std::string& entry : shared)
      if (FieldOf(entry, ";", 2) == program) mine.push_back(entry);
    EXPECT_EQ(mine, expected);  // every entry, in the order of the runs
    Task().Name = std::string("Job ") + program;
    EXPECT_EQ(engine.ReadHistory(Task()), expected);
    Task().Name = "Documents";
  }
}

}  // namespace
}  // namespace zk::test
