// Runs on a backup's worst days: a full disk, a source that is not there or
// cannot be read, links planted where the run writes, damaged archives,
// files that change while they are read, names that are no names. Each must
// leave the last good backup as it was and say what happened.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "engine/ZkPipelineFixture.h"
#include "util/ZkUtil.h"
#include "support/ZkFileSizeLimit.h"
#include "zip/ZkZipTestSupport.h"

namespace zk::test {
namespace {

namespace fs = std::filesystem;

bool Contains(const Lines& lines, const std::string& text) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

struct BadDays : Pipeline {
  std::string Archive() { return Out("Docs.Zip"); }
  // A first good run; returns the archive's bytes.
  std::string GoodRun() {
    RunEngine();
    EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
    EXPECT_EQ(History().back().substr(0, 3), "Ok;");
    Clear();
    return TempDir::Read(Archive());
  }
  std::string LastStatus() { return FieldOf(History().back(), ";", 1); }
};

TEST_F(BadDays, AFullDiskNeverReplacesTheLastGoodArchive) {
  struct Case {
    const char* what;
    bool workFolder;
  };
  for (const Case c : {Case{"in place", false}, Case{"in a work folder", true}}) {
    SCOPED_TRACE(c.what);
    dir.Write("src/sub/b.txt", "beta");
    Output().Temp = c.workFolder ? dir / "work" : "";
    fs::remove_all(dir / "out");
    const std::string previous = GoodRun();
    dir.Write("src/sub/b.txt", RandomBytes(1 << 20, 7));
    {
      const TFileSizeLimit full(256 << 10);
      RunEngine();
    }
    EXPECT_TRUE(Contains(errors, "Írási hiba, megtelt a lemez")) << ::testing::PrintToString(errors);
    EXPECT_EQ(TempDir::Read(Archive()), previous);
    EXPECT_EQ(LastStatus(), "Stopped");
    EXPECT_FALSE(fs::exists(Out("Docs (hiányos).Zip")));
    Clear();
  }
}

TEST_F(BadDays, AMissingSourceNeverReplacesTheArchive) {
  struct Case {
    const char* what;
    std::function<void(BadDays&)> unplug;
    std::string error;
  };
  const std::string src = dir / "src/";
  const Case cases[] = {
      {"the include folder is gone", [&](BadDays&) { fs::rename(dir / "src", dir / "away"); },
       "A mentendő elem nem található (" + src + ")"},
      {"the include list is empty", [](BadDays& t) { t.Job().AddFiles().Clear(); },
       "Nem található mentendő fájl; az előző mentés a helyén marad"},
      {"one of two includes is gone",
       [&](BadDays& t) { t.Job().AddFiles().Add().Name = t.dir / "unplugged/disk/"; },
       "A mentendő elem nem található (" + (dir / "unplugged/disk/") + ")"},
      {"the one file named is gone",
       [&](BadDays& t) {
         t.Job().AddFiles().Items(0).Name = t.a;
         fs::remove(t.a);
       },
       "A mentendő elem nem található (" + a + ")"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dir.Write("src/a.txt", "alpha");
    Job().AddFiles().Clear();
    Job().AddFiles().Add().Name = src;
    fs::remove_all(dir / "out");
    const std::string previous = GoodRun();
    c.unplug(*this);
    RunEngine();
    EXPECT_TRUE(Contains(errors, c.error)) << ::testing::PrintToString(errors);
    EXPECT_EQ(TempDir::Read(Archive()), previous);
    EXPECT_NE(LastStatus(), "Ok");
    if (fs::exists(dir / "away")) fs::rename(dir / "away", dir / "src");
    Clear();
  }
}

TEST_F(BadDays, ARunThatCouldNotReadEverythingIsKeptBesideTheLastGoodArchive) {
  const std::string previous = GoodRun();
  // A path longer than the system takes cannot be reached by the walk, also
  // for root.
  std::string deep = dir / "src/deep";
  fs::create_directories(deep);
  const int top = open(deep.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(top, 0);
  int at = top;
  const std::string step(200, 'd');
  for (int i = 0; i < 22; ++i) {
    ASSERT_EQ(mkdirat(at, step.c_str(), 0755), 0);
    const int next = openat(at, step.c_str(), O_RDONLY | O_DIRECTORY);
    if (at != top) close(at);
    at = next;
  }
  const int file = openat(at, "lost.txt", O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(file, 0);
  close(file);
  close(at);
  close(top);
  const std::string changed = dir.Write("src/sub/b.txt", "beta, changed");

  RunEngine();

  EXPECT_TRUE(Contains(errors, "Az útvonal túl hosszú (" + deep)) << ::testing::PrintToString(errors);
  const std::string beside = Out("Docs (hiányos).Zip");
  EXPECT_TRUE(Contains(errors, "A mentés hiányos, az előző archívum a helyén maradt; az új: " + beside));
  EXPECT_EQ(TempDir::Read(Archive()), previous);
  EXPECT_EQ(History().back(), "Incomplete;2024.01.05;09:07;Global;" + beside);
  ZK_REQUIRE_READERS();
  ExpectReadersAccept(beside, {{EntryOf(a), "alpha"}, {EntryOf(changed), "beta, changed"}});
}

TEST_F(BadDays, AnUnreadableFolderIsAnErrorLine) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every folder; the console tests cover this as an ordinary user";
  fs::permissions(dir / "src/sub", fs::perms::owner_read, fs::perm_options::replace);
  RunEngine();
  EXPECT_EQ(errors, Lines{"Hozzáférés megtagadva (" + (dir / "src/sub/b.txt") + ")"});
  EXPECT_EQ(LastStatus(), "Incomplete");
}

TEST_F(BadDays, NothingIsWrittenThroughAPlantedLink) {
  const std::string victim = dir.Write("victim.txt", "precious");
  struct Case {
    const char* what;
    bool copyMode;
    std::string link;
  };
  const Case cases[] = {
      {"at the archive", false, "out/Docs.Zip"},
      {"at the run's log", false, "out/Docs.Log"},
      {"at a copy target", true, "out/" + EntryOf(b)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(dir / "out");
    fs::create_directories(fs::path(dir / c.link).parent_path());
    fs::create_symlink(victim, dir / c.link);
    Output().PackMode = c.copyMode ? TZkSaveMode::tmCopy : TZkSaveMode::tmZip;
    Output().CreateLogFile = true;
    RunEngine();
    EXPECT_TRUE(Contains(errors, "A cél szimbolikus link, nem írható felül (" + (dir / c.link) + ")"))
        << ::testing::PrintToString(errors);
    EXPECT_EQ(TempDir::Read(victim), "precious");
    EXPECT_TRUE(fs::is_symlink(dir / c.link));
    Clear();
  }
}

TEST_F(BadDays, ACopyRunWritesNothingThroughALinkedFolderOrIntoAFolderAtAFileTarget) {
  Output().PackMode = TZkSaveMode::tmCopy;
  const std::string elsewhere = dir / "elsewhere";
  fs::create_directories(elsewhere);
  const std::string copyOfSub = Out(EntryOf(dir / "src/sub"));
  fs::create_directories(fs::path(copyOfSub).parent_path());
  fs::create_directory_symlink(elsewhere, copyOfSub);
  // a.txt's copy target is taken by a folder (the file replaced a folder).
  fs::create_directories(Out(EntryOf(a)) + "/old");

  RunEngine();

  EXPECT_TRUE(Contains(errors, "A cél szimbolikus link, nem írható felül (" + copyOfSub + ")"));
  EXPECT_TRUE(Contains(errors, "A célhelyen mappa áll, a fájl nem másolható oda (" + Out(EntryOf(a)) + ")"));
  EXPECT_TRUE(fs::is_empty(elsewhere));
  EXPECT_EQ(NamesIn(Out(EntryOf(a))), Lines{"old"});
}

TEST_F(BadDays, AnUpdateRunPacksADamagedEntryOfItsBaseAgain) {
  AddUpdateEntry();
  DueOn(5);
  RunEngine({});
  ASSERT_TRUE(errors.empty());
  // A byte of a.txt's stored data flipped on the disk.
  std::string bytes = TempDir::Read(Archive());
  const auto at = bytes.find(EntryOf(a));
  ASSERT_NE(at, std::string::npos);
  bytes[at + EntryOf(a).size() + 1] ^= 0x55;
  {
    std::ofstream out(Archive(), std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  dir.Write("src/sub/b.txt", "beta, changed");
  Touch(b, 2);
  Clear();
  DueOn(6);
  RunEngine({});

  EXPECT_TRUE(Contains(log, "- Zip Repack Damaged -" + a)) << ::testing::PrintToString(log);
  EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
  ZK_REQUIRE_READERS();
  ExpectReadersAccept(Archive(), {{EntryOf(a), "alpha"}, {EntryOf(b), "beta, changed"}});
}

TEST_F(BadDays, UpdateRunsSeeASizeChangeWithinTheSameTime) {
  for (const TZkSaveMode mode : {TZkSaveMode::tmZip, TZkSaveMode::tmCopy}) {
    SCOPED_TRACE(mode == TZkSaveMode::tmZip ? "zip" : "copy");
    Job().TimerList().Clear();
    fs::remove_all(dir / "out");
    fs::remove(dir / "Backup.Ini");
    Output().PackMode = mode;
    AddUpdateEntry();
    DueOn(5);
    RunEngine({});
    const auto time = fs::last_write_time(b);
    dir.Write("src/sub/b.txt", "beta, longer");
    fs::last_write_time(b, time);
    Clear();
    DueOn(6);
    RunEngine({});
    EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
    if (mode == TZkSaveMode::tmZip) {
      EXPECT_TRUE(Contains(log, "- Zip Update -" + b)) << ::testing::PrintToString(log);
      ZK_REQUIRE_READERS();
      ExpectReadersAccept(Archive(), {{EntryOf(a), "alpha"}, {EntryOf(b), "beta, longer"}});
    } else {
      EXPECT_EQ(TempDir::Read(Out(EntryOf(b))), "beta, longer");
    }
    dir.Write("src/sub/b.txt", "beta");
    Clear();
  }
}

TEST_F(BadDays, AFileTruncatedWhileItIsPackedIsReported) {
  const std::string big = dir.Write("src/big.bin", RandomBytes(1 << 20, 3));
  RunEngine({"Docs"}, 1, [&](TZkThreadSave& engine) {
    engine.OnActionAddFile = [&, done = false](TZkThreadSave&, TZkThreadActiveTask& task) mutable {
      if (done || task.ItemName != big) return;
      done = true;
      fs::resize_file(big, 1000);
    };
  });
  EXPECT_EQ(errors, Lines{"A fájl mentés közben megváltozott (" + big + ")"});
  ZK_REQUIRE_READERS();
  // Every entry, the cut one included, passes the readers' CRC-32 checks.
  ExpectReadersTestOk(Archive(), ParseZip(Archive()).Entries);
}

TEST_F(BadDays, OverlappingIncludesPackEachFileOnce) {
  Job().AddFiles().Add().Name = dir / "src/sub/";
  Job().AddFiles().Add().Name = b;
  RunEngine();
  EXPECT_EQ(log, Concat(Header(), {"- Zip Create -", "- Zip Created -" + Archive(), "- Zip Add -" + a,
                                   "- Zip Add -" + b, "- Zip Close -"}));
  EXPECT_TRUE(errors.empty());
}

TEST_F(BadDays, AJobNameThatIsNoNameWritesNothing) {
  for (const std::string name : {"../../escape", "", "..", "two\nlines", "[section]", "a/b"}) {
    SCOPED_TRACE(name);
    Job().Name = name;
    Output().FileName = "";
    Job().StartNow();
    RunEngine({});
    EXPECT_EQ(errors, Lines{"A mentés neve nem használható: " + name});
    EXPECT_FALSE(fs::exists(dir / "out"));
    EXPECT_FALSE(fs::exists(dir / "escape.Zip"));
    EXPECT_FALSE(fs::exists(dir / "Backup.Ini"));
    Clear();
  }
}

TEST_F(BadDays, AStopEndsTheWaitForAProgramAtOnce) {
  programs.RunsUntilStopped = true;
  TZkThreadSaveFunc& wait = Job().BeginFuncList().Add();
  wait.SetFuncType(TZkSaveFunc::seExeRunWait);
  wait.SetParam1("/usr/bin/sleep");
  wait.SetParam2("1000");
  const auto start = std::chrono::steady_clock::now();
  RunEngine({"Docs"}, 1, [](TZkThreadSave& engine) {
    engine.OnActionBeginFunc = [](TZkThreadSave& sender, TZkThreadActiveTask&, TZkThreadSaveFunc&) {
      std::thread([&sender] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        sender.Stop();
      }).detach();
    };
  });
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_TRUE(Contains(log, "A program tovább fut, a mentés nem várja meg (" + wait.Name() + ")"))
      << ::testing::PrintToString(log);
  EXPECT_EQ(LastStatus(), "Stopped");
  EXPECT_FALSE(fs::exists(Archive()));
}

TEST_F(BadDays, AHistoryLineThatCannotBeWrittenIsAnErrorLine) {
  // Other jobs' history makes the file bigger than the disk has room for.
  std::string other = "[Other]\r\n";
  for (int i = 0; i < 2000; ++i) other += "History=Ok;2024.01.01;10:00;Global;/x/y.Zip\r\n";
  dir.Write("Backup.Ini", other);
  {
    const TFileSizeLimit full(64 << 10);
    RunEngine();
  }
  EXPECT_TRUE(Contains(errors, "Írási hiba, megtelt a lemez")) << ::testing::PrintToString(errors);
  EXPECT_EQ(TempDir::Read(dir / "Backup.Ini"), other);
}

TEST_F(BadDays, AWorkFolderThatIsTheOutputFolderJustWorks) {
  Output().Temp = dir / "out";
  Output().CreateLogFile = true;
  RunEngine();
  EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
  EXPECT_TRUE(fs::exists(Out("Docs.Log")));
  EXPECT_EQ(LastStatus(), "Ok");
}

}  // namespace
}  // namespace zk::test
