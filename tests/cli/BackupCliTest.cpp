// backup-cli as the user runs it: the built program as a child process, on
// real job files and real files in a temporary folder.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "base/ZkDateTime.h"
#include "cli/CliProcess.h"
#include "engine/ZkJob.h"
#include "engine/ZkThreadSave.h"
#include "platform/ZkClock.h"
#include "platform/ZkTestDaemons.h"
#include "store/ZkTreeData.h"
#include "support/ZkEnvironmentVariable.h"
#include "support/ZkRcloneServer.h"
#include "support/ZkTempDir.h"
#include "util/ZkUtil.h"

namespace zk::test {
namespace {

using namespace std::chrono_literals;

bool HasUnzip() { return std::system("command -v unzip >/dev/null 2>&1") == 0; }

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

// A folder with a job file, files to back up in "data" (a sub-folder, a
// name outside ASCII) and the archives in "out".
class BackupCli : public ::testing::Test {
protected:
  void SetUp() override {
    dir.Write("data/a.txt", "első fájl\n");
    dir.Write("data/sub/árvíztűrő.txt", std::string(5000, 'x'));
  }

  TZkThreadSaveTask& AddZipJob(const std::string& name) {
    TZkThreadSaveTask& job = jobs.Add();
    job.Name = name;
    job.DefineOutput().OutputFolder = dir / "out";
    job.DefineOutput().CreateLogFile = true;
    job.AddFiles().Add().Name = dir / "data";
    return job;
  }

  // The job file as the programs write it.
  void WriteJobFile() {
    TZkTreeData document;
    document.Root().AddNode("Saving").Nodes().Assign(jobs);
    document.SaveToFile(JobFile());
  }

  // The program on this folder's job file; quick unless `throttle`.
  TCliResult Cli(std::vector<std::string> arguments, bool throttle = false) const {
    arguments.insert(arguments.begin(), {"--jobs", JobFile()});
    if (!throttle) arguments.insert(arguments.begin(), "--no-throttle");
    return RunCli(arguments, Folder());
  }

  std::string Folder() const { return dir.Path().string(); }
  std::string JobFile() const { return dir / "Backup.Xml"; }
  std::string Archive(const std::string& job) const { return dir / ("out/" + job + ".Zip"); }
  std::string SharedLog() const { return TempDir::Read(dir / "Log.Txt"); }

  TempDir dir;
  TZkThreadSaveTasks jobs;
};

TEST(BackupCliCommandLine, ExitCodesAndWhereTheTextGoes) {
  struct Case {
    std::vector<std::string> arguments;
    int exitCode;
    std::string said;  // on standard output for 0, on standard error otherwise
  };
  const Case cases[] = {
      {{"--help"}, 0, "Használat: backup-cli"},
      {{"--version"}, 0, std::string("backup-cli ") + ZK_EXPECTED_VERSION + "\n"},
      {{}, 2, "Hiányzik a parancs"},
      {{"--bogus", "list"}, 2, "Ismeretlen kapcsoló: --bogus"},
      {{"frobnicate"}, 2, "Ismeretlen parancs: frobnicate"},
      {{"run"}, 2, "legalább egy mentés"},
      {{"list", "--jobs"}, 2, "A --jobs kapcsoló után hiányzik a fájl neve"},
      {{"list", "extra"}, 2, "Fölös paraméter: extra"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.said);
    const TCliResult result = RunCli(c.arguments, dir.Path().string());
    EXPECT_EQ(result.ExitCode, c.exitCode);
    if (c.exitCode == 0) {
      EXPECT_EQ(result.Err, "");
      EXPECT_NE(result.Out.find(c.said), std::string::npos) << result.Out;
    } else {
      EXPECT_EQ(result.Out, "");
      EXPECT_NE(result.Err.find(c.said), std::string::npos) << result.Err;
      EXPECT_NE(result.Err.find("Használat: backup-cli"), std::string::npos) << result.Err;
    }
  }
}

TEST_F(BackupCli, UnknownAndDisabledJobsAreRefusedBeforeAnythingRuns) {
  AddZipJob("Minta");
  AddZipJob("Tiltott").Disable = true;
  WriteJobFile();
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
  };
  const Case cases[] = {
      {{"run", "Minta", "Hiányzó"}, "Nincs Hiányzó nevű mentés\n"},
      {{"run", "Tiltott"}, "A(z) Tiltott mentés le van tiltva\n"},
      {{"run", "Minta", "Más", "tiltott"}, "Nincs Más nevű mentés\nA(z) Tiltott mentés le van tiltva\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    const TCliResult result = Cli(c.arguments);
    EXPECT_EQ(result.ExitCode, 2);
    EXPECT_EQ(result.Err, c.message);
    EXPECT_EQ(result.Out, "");
  }
  EXPECT_FALSE(Exists(Archive("Minta")));
  EXPECT_FALSE(Exists(dir / "Log.Txt"));
  EXPECT_FALSE(Exists(dir / "Backup.Ini"));
}

TEST_F(BackupCli, AJobFileThatCannotBeReadIsReportedAndLeftAsItIs) {
  const std::string broken = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Saving><Item Name=\"Minta\">";
  dir.Write("Backup.Xml", broken);
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"list"}, {"run", "Minta"}, {"serve"}}) {
    SCOPED_TRACE(arguments.front());
    const TCliResult result = Cli(arguments);
    EXPECT_EQ(result.ExitCode, 2);
    EXPECT_NE(result.Err.find("A mentésfájl nem tölthető be: "), std::string::npos) << result.Err;
  }
  EXPECT_EQ(TempDir::Read(JobFile()), broken);

  const TCliResult missing = RunCli({"--jobs", dir / "none.Xml", "list"}, Folder());
  EXPECT_EQ(missing.ExitCode, 2);
  EXPECT_EQ(missing.Err, "A mentésfájl nem tölthető be: Megnyitási hiba (" + (dir / "none.Xml") + ")\n");
  EXPECT_FALSE(Exists(dir / "none.Xml"));
}

// The commands that write start a missing job file as an empty job list,
// unless an INI file beside it holds jobs to import.
TEST_F(BackupCli, RunOnTheFirstStartWritesAnEmptyJobFile) {
  const std::string jobFile = dir / "first/Backup.Xml";
  std::filesystem::create_directories(dir / "first");
  const TCliResult first = RunCli({"--jobs", jobFile, "run", "Minta"}, Folder());
  EXPECT_EQ(first.ExitCode, 2);
  EXPECT_NE(first.Err.find("Új, üres mentésfájl: " + jobFile + "\n"), std::string::npos) << first.Err;
  TZkThreadSaveTasks read;
  ReadJobFile(jobFile, read);
  EXPECT_EQ(read.Count(), 0);

  dir.Write("legacy/Backup.Ini", "[Régi]\r\nPath=/x\r\n");
  const TCliResult legacy = RunCli({"--jobs", dir / "legacy/Backup.Xml", "run", "Régi"}, Folder());
  EXPECT_EQ(legacy.ExitCode, 2);
  EXPECT_FALSE(Exists(dir / "legacy/Backup.Xml"));
}

TEST_F(BackupCli, ListShowsJobsInListOrderWithTargetAndSchedule) {
  TZkThreadSaveTask& zeta = AddZipJob("Zeta");
  zeta.DefineOutput().FileName = "heti";
  TZkThreadSaveTimering& once = zeta.TimerList().Add();
  once.SetName("Egyszer");
  once.SetTimerType(TZkSaveTimerType::ttOne);
  once.SetDate(EncodeDate(2099, 6, 1));
  once.SetTime(EncodeTime(10, 30, 0, 0));
  TZkThreadSaveTimering& past = zeta.TimerList().Add();
  past.SetName("Régi");
  past.SetTimerType(TZkSaveTimerType::ttOne);
  past.SetDate(EncodeDate(2001, 1, 1));
  TZkThreadSaveTask& alfa = AddZipJob("Alfa");
  alfa.Disable = true;
  alfa.DefineOutput().PackMode = TZkSaveMode::tmCopy;
  alfa.DefineOutput().OutputFolder = dir / "copy";
  WriteJobFile();

  const TCliResult result = Cli({"list"});
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_EQ(result.Err, "");
  EXPECT_EQ(result.Out, "Zeta\n"
                        "  cél: " + (dir / "out/heti.Zip") + " (zip)\n"
                        "  ütemezés: Egyszer, egyszer, következő: 2099.06.01 10:30:00\n"
                        "  ütemezés: Régi, egyszer, következő: soha\n"
                        "Alfa (tiltva)\n"
                        "  cél: " + (dir / "copy/") + " (másolás)\n"
                        "  ütemezés: nincs\n");
}

TEST_F(BackupCli, ImportTakesTheLegacyJobsOnce) {
  std::filesystem::copy_file(std::string(ZK_TEST_DATA) + "/legacy-1250.ini", dir / "Backup.Ini");
  const TCliResult imported = Cli({"import"});
  EXPECT_EQ(imported.ExitCode, 0) << imported.Err;
  EXPECT_EQ(imported.Out, "3 mentés átvéve: " + (dir / "Backup.Ini") + " -> " + JobFile() + "\n");

  const std::string listed = Cli({"list"}).Out;
  const auto napi = listed.find("Napi mentés\n");
  const auto statik = listed.find("Static\n");
  const auto heti = listed.find("Heti összesítés\n");
  ASSERT_NE(heti, std::string::npos) << listed;
  EXPECT_LT(napi, statik);
  EXPECT_LT(statik, heti);

  const std::string jobFile = TempDir::Read(JobFile());
  const TCliResult again = Cli({"import"});
  EXPECT_EQ(again.ExitCode, 2);
  EXPECT_EQ(again.Err, "A(z) " + JobFile() + " mentésfájl már létezik, nincs mit átvenni\n");
  EXPECT_EQ(TempDir::Read(JobFile()), jobFile);
}

TEST_F(BackupCli, ImportWithoutAnIniFileWritesNothing) {
  const TCliResult result = Cli({"import"});
  EXPECT_EQ(result.ExitCode, 2);
  EXPECT_EQ(result.Err, "A(z) " + (dir / "Backup.Ini") + " fájl nem létezik, nincs mit átvenni\n");
  EXPECT_FALSE(Exists(JobFile()));
}

TEST_F(BackupCli, RunWritesTheArchiveTheLogAndTheHistory) {
  AddZipJob("Minta");
  WriteJobFile();
  const TCliResult result = Cli({"run", "Minta"});
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_EQ(result.Err, "");
  // Not a terminal: the job's log lines, one per line.
  EXPECT_NE(result.Out.find("- Zip Add -" + (dir / "data/a.txt") + "\n"), std::string::npos) << result.Out;

  const std::string log = SharedLog();
  const std::vector<std::string> lines = {"- Zip Create -", "- Zip Add -" + (dir / "data/a.txt"),
                                          "- Zip Add -" + (dir / "data/sub/árvíztűrő.txt"), "- Zip Close -"};
  for (const std::string& line : lines)
    EXPECT_NE(log.find(" " + line + "\r\n"), std::string::npos) << line << "\n" << log;
  EXPECT_NE(TempDir::Read(dir / "Backup.Ini").find("History=Ok;"), std::string::npos);
  EXPECT_NE(TempDir::Read(dir / "out/Minta.Log").find("- Zip Close -"), std::string::npos);

  if (!HasUnzip()) GTEST_SKIP() << "unzip is not installed: the archive is not tested";
  EXPECT_EQ(std::system(("unzip -tq '" + Archive("Minta") + "' >/dev/null").c_str()), 0);
}

TEST_F(BackupCli, NamedJobsRunOneAfterTheOtherInTheOrderGiven) {
  AddZipJob("Első");
  AddZipJob("Második");
  WriteJobFile();
  const TCliResult result = Cli({"run", "Második", "első"});
  EXPECT_EQ(result.ExitCode, 0) << result.Err;
  EXPECT_TRUE(Exists(Archive("Első")));
  EXPECT_TRUE(Exists(Archive("Második")));
  const std::string log = SharedLog();
  const auto second = log.find(" Második\r\n");
  const auto first = log.find(" Első\r\n");
  ASSERT_NE(first, std::string::npos) << log;
  EXPECT_LT(second, first);
}

TEST_F(BackupCli, ErrorLinesGiveExitCodeOneAndTheNextJobStillRuns) {
  dir.Write("blocker", "a file where the output folder should be");
  AddZipJob("Hibás").DefineOutput().OutputFolder = dir / "blocker/out";
  AddZipJob("Minta");
  WriteJobFile();
  const TCliResult result = Cli({"run", "Hibás", "Minta"});
  EXPECT_EQ(result.ExitCode, 1);
  EXPECT_NE(result.Err.find("Hiba: "), std::string::npos) << result.Err;
  EXPECT_NE(TempDir::Read(dir / "Error.Txt"), "");
  EXPECT_TRUE(Exists(Archive("Minta")));
}

TEST_F(BackupCli, AClosedStandardOutputDoesNotEndTheRun) {
  AddZipJob("Minta");
  WriteJobFile();
  // `true` reads nothing and ends at once: every line the program writes
  // goes to a closed pipe.
  const std::string status = dir / "status";
  const std::string command = "bash -c '\"$0\" --no-throttle --jobs \"$1\" run Minta | true; echo ${PIPESTATUS[0]} >\"$2\"' " +
                              std::string(ZK_BACKUP_CLI) + " '" + JobFile() + "' '" + status + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(TempDir::Read(status), "0\n");
  EXPECT_TRUE(Exists(Archive("Minta")));
  EXPECT_NE(TempDir::Read(dir / "Backup.Ini").find("History=Ok;"), std::string::npos);
}

// As root every folder is readable: the program then runs as "nobody" over
// a tree that user owns.
TEST_F(BackupCli, AFolderTheUserCannotReadIsAnErrorLineAndTheRunIsIncomplete) {
  const bool root = geteuid() == 0;
  if (root && std::system("command -v setpriv >/dev/null 2>&1") != 0) GTEST_SKIP() << "setpriv is not installed";
  dir.Write("data/locked/secret.txt", "hidden");
  AddZipJob("Minta").DefineOutput().CreateLogFile = false;
  WriteJobFile();
  namespace fs = std::filesystem;
  if (root) {
    fs::permissions(dir.Path(), fs::perms::all, fs::perm_options::add);
    ASSERT_EQ(std::system(("chown -R 65534:65534 '" + Folder() + "'").c_str()), 0);
  }
  fs::permissions(dir / "data/locked", fs::perms::none, fs::perm_options::replace);
  std::vector<std::string> arguments = {"--no-throttle", "--jobs", JobFile(), "run", "Minta"};
  if (root) {
    arguments.insert(arguments.begin(), ZK_BACKUP_CLI);
    arguments.insert(arguments.begin(), {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
  }
  const TCliResult result = root ? RunProgram(arguments, Folder()) : RunCli(arguments, Folder());
  EXPECT_EQ(result.ExitCode, 1) << result.Out << result.Err;
  EXPECT_NE(result.Err.find("Hozzáférés megtagadva (" + (dir / "data/locked") + ")"), std::string::npos) << result.Err;
  EXPECT_NE(TempDir::Read(dir / "Backup.Ini").find("History=Incomplete;"), std::string::npos);
  EXPECT_TRUE(Exists(Archive("Minta")));
}

TEST_F(BackupCli, StatusNamesEachJobsLastRunAndFlagsWhatNeedsAttention) {
  for (const char* name : {"Jó", "Elmaradt", "Leállt"})
    AddZipJob(name).TimerList().Add().SetTime(EncodeTime(22, 0, 0, 0));
  WriteJobFile();
  const TDateTime now = platform::SystemClock().Now();
  const auto line = [](const char* status, TDateTime moment) {
    return std::string("History=") + status + ";" + FormatDateMask("yyyy.mm.dd;hh:pp", moment, NeutralFormatSettings()) +
           ";Global;/x.Zip\r\n";
  };
  const std::string good = "[Jó]\r\n" + line("Ok", now - 0.5);
  dir.Write("Backup.Ini", good + "[Elmaradt]\r\n" + line("Ok", now - 5) + "[Leállt]\r\n" + line("Ok", now - 1.5) +
                              line("Stopped", now - 0.5));
  TCliResult result = Cli({"status"});
  EXPECT_EQ(result.ExitCode, 3) << result.Err;
  const auto lineOf = [&](const std::string& job) {
    const auto at = result.Out.find(job + ": ");
    return at == std::string::npos ? std::string() : result.Out.substr(at, result.Out.find('\n', at) - at);
  };
  EXPECT_NE(lineOf("Jó").find("utolsó futás: Ok"), std::string::npos) << result.Out;
  EXPECT_NE(lineOf("Jó").find("utolsó jó mentés: 12 órája"), std::string::npos) << result.Out;
  EXPECT_EQ(lineOf("Jó").find("elmaradt"), std::string::npos) << result.Out;
  EXPECT_NE(lineOf("Elmaradt").find("utolsó jó mentés: 5 napja; következő: "), std::string::npos) << result.Out;
  EXPECT_NE(lineOf("Elmaradt").find("; elmaradt"), std::string::npos) << result.Out;
  EXPECT_NE(lineOf("Leállt").find("utolsó futás: Stopped"), std::string::npos) << result.Out;

  dir.Write("Backup.Ini", good);
  jobs.Items(2).Disable = true;
  jobs.Items(1).TimerList().Clear();
  WriteJobFile();
  result = Cli({"status"});
  EXPECT_EQ(result.ExitCode, 0) << result.Out;
}

// The screen lines a terminal shows of the output: split where the cursor
// goes back to the start of a line, without the clear-to-end sequence.
std::vector<std::string> ScreenLines(const std::string& out) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i <= out.size(); ++i) {
    if (i == out.size() || out[i] == '\r' || out[i] == '\n') {
      if (!line.empty()) lines.push_back(line);
      line.clear();
    } else if (out.compare(i, 3, "\033[K") == 0) {
      i += 2;
    } else {
      line += out[i];
    }
  }
  return lines;
}

std::size_t Columns(const std::string& utf8) {
  return static_cast<std::size_t>(
      std::count_if(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

TEST_F(BackupCli, OnATerminalEachJobGetsAProgressLineThatFitsIt) {
  for (int i = 0; i < 15; ++i) dir.Write("data/many/" + std::to_string(i) + ".txt", std::string(20000, 'z'));
  AddZipJob("Minta");
  WriteJobFile();
  const struct {
    unsigned short Columns;
    const char* Files;
    const char* Left;
  } terminals[] = {{80, "17/17 fájl", "hátra "}, {40, "17/17 ", "~"}};
  for (const auto& terminal : terminals) {
    SCOPED_TRACE(terminal.Columns);
    // With the waits on, 100 ms per file: long enough for a time left.
    const TCliResult result = RunCliOnTerminal({"--jobs", JobFile(), "run", "Minta"}, Folder(), terminal.Columns);
    EXPECT_EQ(result.ExitCode, 0) << result.Out;
    EXPECT_EQ(result.Out.find("- Zip Add -"), std::string::npos) << result.Out;
    const std::vector<std::string> lines = ScreenLines(result.Out);
    ASSERT_FALSE(lines.empty());
    for (const std::string& line : lines) EXPECT_LT(Columns(line), terminal.Columns) << line;
    const std::string& last = lines.back();
    EXPECT_NE(last.find(terminal.Files), std::string::npos) << last;
    EXPECT_NE(last.find("298/298 KB"), std::string::npos) << last;  // 305,013 bytes
    EXPECT_NE(last.find("0 hiba"), std::string::npos) << last;
    EXPECT_NE(last.find("0:0"), std::string::npos) << last;  // the elapsed time
    const bool estimated = std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
      return line.find(terminal.Left) != std::string::npos;
    });
    EXPECT_TRUE(estimated) << result.Out;
    const bool showsFile = std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
      return line.find(".txt") != std::string::npos;
    });
    EXPECT_TRUE(showsFile) << result.Out;
  }
}

// rclone slowed down in PATH: the upload's part done moves on the line.
TEST_F(BackupCli, OnATerminalAnUploadShowsThePartSent) {
  if (!HaveRclone()) GTEST_SKIP() << "rclone is not installed";
  const TRcloneServer server(dir / "nas", Folder());
  ASSERT_TRUE(server.Up());
  std::string noise(3 << 20, '\0');
  std::mt19937 random(3);
  for (char& c : noise) c = static_cast<char>(random());
  dir.Write("data/noise.bin", noise);
  AddZipJob("Minta").DefineOutput().RemoteTarget = "testnas:mentes";
  WriteJobFile();
  const TEnvironmentVariable path("PATH", SlowRcloneFolder(dir.Path()) + ":" + std::getenv("PATH"));
  const TCliResult result =
      RunCliOnTerminal({"--no-throttle", "--jobs", JobFile(), "run", "Minta"}, Folder(), 120);
  EXPECT_EQ(result.ExitCode, 0) << result.Out;
  EXPECT_EQ(TempDir::Read(dir / "nas/mentes/Minta.Zip"), TempDir::Read(Archive("Minta")));
  const std::string item = "Másolás testnas:mentes/Minta.Zip ";
  std::vector<int> shown;
  for (const std::string& line : ScreenLines(result.Out)) {
    const auto at = line.find(item);
    if (at != std::string::npos) shown.push_back(std::atoi(line.c_str() + at + item.size()));
  }
  ASSERT_FALSE(shown.empty()) << result.Out;
  EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end())) << result.Out;
  EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [](int p) { return p > 0 && p < 100; })) << result.Out;
  EXPECT_EQ(shown.back(), 100) << result.Out;
}

TEST_F(BackupCli, AStopSignalEndsARunInOrder) {
  // With the waits on, 100 ms per file leaves time to stop in the middle.
  for (int i = 0; i < 40; ++i) dir.Write("data/many/" + std::to_string(i) + ".txt", std::string(100, 'y'));
  AddZipJob("Minta");
  WriteJobFile();
  TCliProcess cli({"--jobs", JobFile(), "run", "Minta"}, Folder());
  ASSERT_TRUE(cli.WaitForOutput("- Zip Add -", 30s));
  cli.Signal(SIGTERM);
  const TCliResult result = cli.Finish();
  EXPECT_EQ(result.ExitCode, 1);
  EXPECT_NE(result.Out.find("- Stop -\n"), std::string::npos) << result.Out;
  EXPECT_FALSE(Exists(Archive("Minta")));
  EXPECT_NE(TempDir::Read(dir / "Backup.Ini").find("History=Stopped;"), std::string::npos);
}

TEST_F(BackupCli, ServeRunsDueScheduleEntriesUntilASignal) {
  // An entry due in 2.5 s: it fires on the engine's second pass, 3 s in.
  const TDateTime due = platform::SystemClock().Now() + 2.5 / 86400;
  TZkThreadSaveTimering& entry = AddZipJob("Minta").TimerList().Add();
  entry.SetName("Hamarosan");
  entry.SetTimerType(TZkSaveTimerType::ttOne);
  entry.SetDate(DateOf(due));
  entry.SetTime(TimeOf(due));
  WriteJobFile();

  TCliProcess cli({"--no-throttle", "--jobs", JobFile(), "serve"}, Folder());
  ASSERT_TRUE(cli.WaitForOutput("- Zip Close -\n", 30s));
  cli.Signal(SIGINT);
  const TCliResult result = cli.Finish(15s);
  EXPECT_EQ(result.ExitCode, 0) << result.Err;
  EXPECT_TRUE(Exists(Archive("Minta Hamarosan")));
}

TEST_F(BackupCli, ServeTakesAChangedJobFileWithoutARestart) {
  AddZipJob("Minta");
  WriteJobFile();
  TCliProcess cli({"--no-throttle", "--jobs", JobFile(), "serve"}, Folder());
  ASSERT_TRUE(cli.WaitForOutput("Ütemezett futás: 1 mentés", 30s));
  // A schedule entry added as the window adds one: the job file written anew.
  const TDateTime due = platform::SystemClock().Now() + 3.0 / 86400;
  TZkThreadSaveTimering& entry = jobs.Items(0).TimerList().Add();
  entry.SetName("Most");
  entry.SetTimerType(TZkSaveTimerType::ttOne);
  entry.SetDate(DateOf(due));
  entry.SetTime(TimeOf(due));
  WriteJobFile();
  EXPECT_TRUE(cli.WaitForOutput("A mentésfájl megváltozott, újra betöltve: 1 mentés", 30s));
  EXPECT_TRUE(cli.WaitForOutput("- Zip Close -\n", 30s));
  cli.Signal(SIGTERM);
  const TCliResult result = cli.Finish(15s);
  EXPECT_EQ(result.ExitCode, 0) << result.Err;
  EXPECT_TRUE(Exists(Archive("Minta Most")));
}

TEST_F(BackupCli, ServeWithNothingDueEndsOnASignal) {
  AddZipJob("Minta");
  WriteJobFile();
  TCliProcess cli({"--no-throttle", "--jobs", JobFile(), "serve"}, Folder());
  ASSERT_TRUE(cli.WaitForOutput("Ütemezett futás: 1 mentés", 30s));
  cli.Signal(SIGTERM);
  const TCliResult result = cli.Finish(15s);
  EXPECT_EQ(result.ExitCode, 0) << result.Err;
  EXPECT_FALSE(Exists(Archive("Minta")));
}


// Three jobs for serve's notices: "Jó" and "Üres" (its folder is not there:
// two error lines, the run stopped) come due as serve starts, "Régi" is a
// daily job whose last good run was ten days ago.
// A private session bus with the notification daemon's mock on it; serve
// finds it through DBUS_SESSION_BUS_ADDRESS while this lives.
struct TNotificationDaemon {
  TPrivateBus Bus;
  TempDir Logs;
  TDbusMock Mock{Bus, "org.freedesktop.Notifications", "notification_daemon", Logs / "calls.log"};
  TEnvironmentVariable Session{"DBUS_SESSION_BUS_ADDRESS", Bus.Address()};
  std::vector<std::string> Notices() const { return Mock.Calls({"Notify"}); }
};

class ServeNotices : public BackupCli {
protected:
  void SetUp() override {
    BackupCli::SetUp();
    const TDateTime now = platform::SystemClock().Now();
    for (const char* name : {"Jó", "Üres"}) {
      TZkThreadSaveTimering& entry = AddZipJob(name).TimerList().Add();
      entry.SetName("Most");
      entry.SetTimerType(TZkSaveTimerType::ttOne);
    }
    jobs.Items(1).AddFiles().Items(0).Name = dir / "nincs";
    AddZipJob("Régi").TimerList().Add().SetTime(TimeOf(now - 1.0 / 24));
    dir.Write("Backup.Ini", "[Régi]\r\nHistory=Ok;" +
                                FormatDateMask("yyyy.mm.dd;hh:pp", now - 10, NeutralFormatSettings()) +
                                ";Global;/x.Zip\r\n");
  }

  bool JobRan(const std::string& job) const {
    return TempDir::Read(dir / "Backup.Ini").find("[" + job + "]") != std::string::npos;
  }

  // serve until both due jobs have run and `done` says so, then SIGTERM.
  TCliResult Serve(const std::vector<std::string>& extra, const std::function<bool()>& done) {
    std::vector<std::string> arguments = {"--no-throttle", "--no-catch-up", "--jobs", JobFile(), "serve"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    // Due a second after serve has read them: a moment gone before is never.
    const TDateTime due = platform::SystemClock().Now() + 1.0 / 86400;
    for (int i = 0; i < 2; ++i) {
      jobs.Items(i).TimerList().Items(0).SetDate(DateOf(due));
      jobs.Items(i).TimerList().Items(0).SetTime(TimeOf(due));
    }
    WriteJobFile();
    TCliProcess cli(arguments, Folder());
    // "Üres" runs first (the list is scanned from its end), then "Jó".
    EXPECT_TRUE(cli.WaitForOutput("- Zip Close -", 30s));
    for (int i = 0; i < 300 && !done(); ++i) std::this_thread::sleep_for(50ms);
    cli.Signal(SIGTERM);
    return cli.Finish(15s);
  }
};

TEST_F(ServeNotices, AStoppedRunAndAnOverdueJobAreNotifiedAGoodRunOnlyOnRequest) {
  if (!HaveDbusMock()) GTEST_SKIP() << "needs /usr/bin/dbus-daemon and python3-dbusmock for /usr/bin/python3";
  struct Case {
    std::vector<std::string> options;
    std::vector<std::string> summaries;  // in any order
  };
  const Case cases[] = {
      {{}, {"Elmaradt mentés: Régi", "A mentés leállt: Üres"}},
      {{"--notify-success"}, {"Elmaradt mentés: Régi", "A mentés leállt: Üres", "A mentés kész: Jó"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options.empty() ? "default" : c.options[0]);
    const TNotificationDaemon daemon;
    ASSERT_TRUE(daemon.Bus.Ready());
    ASSERT_TRUE(daemon.Mock.Ready());
    const auto notices = [&] { return daemon.Notices(); };
    const TCliResult result = Serve(c.options, [&] {
      return notices().size() >= c.summaries.size() && JobRan("Jó");
    });
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(result.Out.find("Értesítés nem küldhető"), std::string::npos) << result.Out;
    const std::vector<std::string> sent = notices();
    ASSERT_EQ(sent.size(), c.summaries.size()) << result.Out;
    for (const std::string& summary : c.summaries) {
      const auto notice = std::find_if(sent.begin(), sent.end(), [&](const std::string& call) {
        return call.rfind("Notify \"Backup\" 0 \"backup\" \"" + summary + "\"", 0) == 0;
      });
      ASSERT_NE(notice, sent.end()) << summary;
      const std::string body = summary == "Elmaradt mentés: Régi"  ? "Az utolsó jó mentés 10 napja készült."
                               : summary == "A mentés leállt: Üres" ? "2 hibasor, részletek: " + dir / "Error.Txt"
                                                                     : Archive("Jó Most");
      EXPECT_NE(notice->find("\"" + body + "\""), std::string::npos) << *notice;
    }
  }
}

// "Jó" sends its archive to a remote that cannot take it: its run stays
// "Ok", and the notice says the remote copy is missing and why.
TEST_F(ServeNotices, AFailedUploadIsNotifiedThoughTheRunStaysOk) {
  if (!HaveDbusMock()) GTEST_SKIP() << "needs /usr/bin/dbus-daemon and python3-dbusmock for /usr/bin/python3";
  jobs.Items(0).DefineOutput().RemoteTarget = "dead:mentes";
  const std::string remote = "dead:mentes/Jó Most.Zip";
  struct Case {
    const char* what;
    bool rclone;
    std::string body;  // its start
  };
  const Case cases[] = {
      {"rclone missing", false,
       "Az rclone nincs telepítve; a távoli másolat elmaradt, a helyi archívum megmaradt (" + remote + ")"},
      {"the remote refuses", true, "Feltöltési hiba (" + remote + "): "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.rclone && !HaveRclone()) continue;
    const TEnvironmentVariable config("RCLONE_CONFIG", dir / "rclone.conf");
    const TEnvironmentVariable type("RCLONE_CONFIG_DEAD_TYPE", "webdav");
    const TEnvironmentVariable url("RCLONE_CONFIG_DEAD_URL", "http://127.0.0.1:" + std::to_string(FreePort()));
    TEnvironmentVariable path("PATH");
    if (!c.rclone) path.Set((dir / "no-rclone").c_str());
    const TNotificationDaemon daemon;
    ASSERT_TRUE(daemon.Bus.Ready());
    ASSERT_TRUE(daemon.Mock.Ready());
    const auto notices = [&] { return daemon.Notices(); };
    const TCliResult result = Serve({}, [&] { return notices().size() >= 3; });
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    const std::vector<std::string> sent = notices();
    ASSERT_EQ(sent.size(), 3u) << result.Out;
    const auto notice = std::find_if(sent.begin(), sent.end(), [](const std::string& call) {
      return call.rfind("Notify \"Backup\" 0 \"backup\" \"A távoli másolat elmaradt: Jó\" ", 0) == 0;
    });
    ASSERT_NE(notice, sent.end()) << result.Out;
    EXPECT_NE(notice->find("\"" + c.body), std::string::npos) << *notice;
    EXPECT_NE(TempDir::Read(dir / "Backup.Ini").find("[Jó]\r\nHistory=Ok;"), std::string::npos);
    EXPECT_TRUE(Exists(Archive("Jó Most")));
  }
}

TEST_F(ServeNotices, WithoutASessionBusNothingIsSentAndTheOutputSaysWhyOnce) {
  const TEnvironmentVariable session("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir / "no-bus");
  const TCliResult result = Serve({}, [&] { return JobRan("Jó"); });
  EXPECT_EQ(result.ExitCode, 0) << result.Err;
  const auto first = result.Out.find("Értesítés nem küldhető: ");
  EXPECT_NE(first, std::string::npos) << result.Out;
  EXPECT_EQ(result.Out.find("Értesítés nem küldhető", first + 1), std::string::npos) << result.Out;
}

}  // namespace
}  // namespace zk::test
