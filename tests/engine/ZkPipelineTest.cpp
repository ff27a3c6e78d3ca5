// Whole runs of the engine on its worker thread, over real folders, with
// the throttling waits recorded instead of slept.

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "engine/ZkPipelineFixture.h"
#include "engine/ZkThreadSave.h"
#include "platform/ZkFakeDesktopBus.h"
#include "platform/ZkFakePrograms.h"
#include "platform/ZkFakeServiceControl.h"
#include "platform/ZkFakeSessionEnder.h"
#include "store/zkIniFile.h"
#include "support/ZkFakeClock.h"
#include "support/ZkRecordingSleeper.h"
#include "support/ZkTempDir.h"
#include "zip/ZkZipTestSupport.h"

namespace zk::test {
namespace {

TEST_F(Pipeline, AFullRunWritesTheArchiveAtTheOutputPathAndRecordsIt) {
  Output().CreateLogFile = true;
  Lines fields;
  onEvent = [&](const std::string& name, TZkThreadSave&, TZkThreadActiveTask& t) {
    if (name == "BeforeBackup")
      fields.push_back(std::to_string(t.TimerIndex) + "|" + t.WorkPath + "|" + t.WorkFolder + "|" + t.TargetPath +
                       "|" + t.LogFile + "|" + t.ErrorFile);
    if (name == "BeforeSave")
      fields.push_back("total " + std::to_string(t.TotalSize) + " in " + std::to_string(t.TotalFiles));
    if (name == "AfterAddFile") fields.push_back(t.ItemName + " " + std::to_string(t.TotalPosition));
    if (name == "AfterBackup") fields.push_back("end " + std::to_string(t.TotalPosition));
  };
  RunEngine();

  const std::string archive = Out("Docs.Zip");
  EXPECT_EQ(log, Concat(Header(), {"- Zip Create -", "- Zip Created -" + archive, "- Zip Add -" + a,
                                   "- Zip Add -" + b, "- Zip Close -"}));
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(events, (Lines{"BeforeBackup", "BeforeBeginFunc", "AfterBeginFunc", "BeforeSave", "BeforeAddFile",
                           "AfterAddFile", "BeforeAddFile", "AfterAddFile", "AfterSave", "BeforeEndFunc",
                           "AfterEndFunc", "AfterBackup"}));
  EXPECT_EQ(fields, (Lines{"-1|" + archive + "|" + Out("") + "|" + archive + "|" + Out("Docs.Log") + "|",
                           "total 9 in 2", a + " 5", b + " 9", "end 0"}));
  EXPECT_FALSE(activeAtEnd);  // the engine has let go of the run copy
  // 200 ms per folder collected, 100 ms per file packed.
  EXPECT_EQ(sleeper.Waits, (std::vector<int>{200, 200, 100, 100}));
  EXPECT_EQ(History(), Lines{"Ok;2024.01.05;09:07;Global;" + archive});
  const std::string jobLog = TempDir::Read(Out("Docs.Log"));
  EXPECT_NE(jobLog.find("2024.01.05 09:07:03 - Zip Add -" + b + "\r\n"), std::string::npos) << jobLog;
  ZK_REQUIRE_READERS();
  ExpectReadersAccept(archive, {{EntryOf(a), "alpha"}, {EntryOf(b), "beta"}});
}

TEST_F(Pipeline, AWorkFolderArchiveIsCopiedToTheOutputAndTheDuplicateThenDeleted) {
  Output().Temp = dir / "work";
  Output().DuplicateFolder = dir / "dup";
  Output().CreateLogFile = true;
  Lines copies;
  onEvent = [&](const std::string& name, TZkThreadSave&, TZkThreadActiveTask& t) {
    if (name.find("Copy") != std::string::npos || name.find("Duplicate") != std::string::npos)
      copies.push_back(name + " " + t.ItemName + " " + t.TargetPath + " " + std::to_string(t.ItemSize) + " " +
                       std::to_string(t.TotalSize) + " " + std::to_string(t.TotalPosition));
  };
  RunEngine();

  const std::string work = dir / "work/Docs.Zip", output = Out("Docs.Zip"), duplicate = dir / "dup/Docs.Zip";
  EXPECT_EQ(log, Concat(Header(), {"- Zip Create -", "- Zip Created -" + work, "- Zip Add -" + a, "- Zip Add -" + b,
                                   "- Zip copy in temp -" + output, "- Duplicate -" + duplicate, "- Zip Close -"}));
  EXPECT_TRUE(errors.empty());
  EXPECT_FALSE(fs::exists(work));
  EXPECT_FALSE(fs::exists(dir / "work/Docs.Log"));
  EXPECT_TRUE(fs::exists(Out("Docs.Log")));
  EXPECT_TRUE(fs::exists(dir / "dup/Docs.Log"));
  const std::string bytes = TempDir::Read(output);
  EXPECT_EQ(TempDir::Read(duplicate), bytes);
  const std::string size = std::to_string(bytes.size());
  const auto copy = [&](const std::string& event, const std::string& target, const std::string& done) {
    return event + " " + work + " " + target + " " + size + " " + size + " " + done;
  };
  // A copy of less than one block reports its start and its end, no more.
  EXPECT_EQ(copies, (Lines{copy("BeforeCopy", output, "0"), copy("ActionCopy", output, "0"),
                           copy("ActionCopy", output, size), copy("AfterCopy", output, size),
                           copy("BeforeDuplicate", duplicate, size), copy("ActionDuplicate", duplicate, "0"),
                           copy("ActionDuplicate", duplicate, size), copy("AfterDuplicate", duplicate, size)}));
  // Each progress report of a copy waits 100 ms as well.
  EXPECT_EQ(sleeper.Waits, (std::vector<int>{200, 200, 100, 100, 100, 100, 100, 100}));
  EXPECT_EQ(History(), Lines{"Ok;2024.01.05;09:07;Global;" + output});
  ZK_REQUIRE_READERS();
  ExpectReadersAccept(output, {{EntryOf(a), "alpha"}, {EntryOf(b), "beta"}});
}

TEST_F(Pipeline, AnUpdateRunIntoTheSameNameReplacesOnlyWhatChanged) {
  AddUpdateEntry();
  DueOn(5);
  RunEngine({});
  const std::string archive = Out("Docs.Zip");
  ASSERT_EQ(History(), Lines{"Ok;2024.01.05;10:01;Global;" + archive});

  dir.Write("src/sub/b.txt", "beta, changed");
  Touch(b, 2);
  const std::string c = dir.Write("src/sub/c.txt", "gamma");
  Clear();
  Lines added;
  onEvent = [&](const std::string& name, TZkThreadSave&, TZkThreadActiveTask& t) {
    if (name == "BeforeAddFile" || name == "AfterAddFile") added.push_back(name + " " + t.ItemName);
  };
  DueOn(6);
  RunEngine({});

  EXPECT_EQ(log, Concat(Header(), {"- Zip open by updated -", "- Zip Update -" + b, "- Zip Add New File -" + c,
                                   "- Zip Close -"}));
  EXPECT_TRUE(errors.empty());
  // The unchanged file is left out without a line, but still counted.
  EXPECT_EQ(added, (Lines{"AfterAddFile " + a, "BeforeAddFile " + b, "AfterAddFile " + b, "BeforeAddFile " + c,
                          "AfterAddFile " + c}));
  EXPECT_EQ(History(), (Lines{"Ok;2024.01.05;10:01;Global;" + archive, "Ok;2024.01.06;10:01;Update;" + archive}));
  ZK_REQUIRE_READERS();
  ExpectReadersAccept(archive, {{EntryOf(a), "alpha"}, {EntryOf(b), "beta, changed"}, {EntryOf(c), "gamma"}});
}

TEST_F(Pipeline, AnUpdateRunWithADatedNameWritesADifferentialArchive) {
  Output().FileNameDate = true;
  AddUpdateEntry();
  DueOn(5);
  RunEngine({});
  const std::string base = Out("Docs 2024.01.05.Zip");
  ASSERT_TRUE(fs::exists(base));

  dir.Write("src/sub/b.txt", "beta, changed");
  Touch(b, 2);
  const std::string c = dir.Write("src/sub/c.txt", "gamma");
  Clear();
  DueOn(6);
  RunEngine({});

  const std::string archive = Out("Docs 2024.01.06.Zip");
  EXPECT_EQ(log, Concat(Header(), {"- Zip Create -", "- Zip Created - (" + archive + ") From Update (" + base,
                                   "- Zip Add Modified File -" + b, "- Zip Add New File -" + c, "- Zip Close -"}));
  EXPECT_EQ(History().back(), "Ok;2024.01.06;10:01;Update;" + archive);
  ZK_REQUIRE_READERS();
  ExpectReadersAccept(archive, {{EntryOf(b), "beta, changed"}, {EntryOf(c), "gamma"}});
}

TEST_F(Pipeline, AnUpdateRunWhoseBaseIsGoneIsAFullRun) {
  AddUpdateEntry();
  DueOn(5);
  RunEngine({});
  const std::string archive = Out("Docs.Zip");
  fs::remove(archive);
  Clear();
  DueOn(6);
  RunEngine({});

  EXPECT_EQ(log, Concat(Header(), {"- Zip Create -", "- Zip Created -" + archive, "- Zip Add -" + a,
                                   "- Zip Add -" + b, "- Zip Close -"}));
  EXPECT_EQ(History().back(), "Ok;2024.01.06;10:01;Global;" + archive);
}

TEST_F(Pipeline, ACopyRunCopiesTheTreeAndAnUpdateCopiesOnlyWhatChanged) {
  Output().PackMode = TZkSaveMode::tmCopy;
  AddUpdateEntry();
  const std::string copyA = Out(EntryOf(a)), copyB = Out(EntryOf(b));
  RunEngine();
  EXPECT_EQ(log, Concat(Header(), {"- Copy -", "- Copy -" + a, "- Copy -" + b, "- Copy End -"}));
  EXPECT_EQ(TempDir::Read(copyA), "alpha");
  EXPECT_EQ(TempDir::Read(copyB), "beta");
  EXPECT_EQ(fs::last_write_time(copyB), fs::last_write_time(b));
  // The tree's folder stands for the archive a zip run would have written.
  EXPECT_EQ(History(), Lines{"Ok;2024.01.05;09:07;Global;" + Out("Docs.Zip")});

  // A full run copies everything again; a changed source overwrites.
  dir.Write("src/sub/b.txt", "beta, changed");
  Touch(b, 2);
  Clear();
  RunEngine();
  EXPECT_EQ(log, Concat(Header(), {"- Copy -", "- Copy -" + a, "- Overwrite-" + b, "- Copy End -"}));
  EXPECT_EQ(TempDir::Read(copyB), "beta, changed");

  // An update run finds the tree of the last full run and copies only the
  // file that differs from it.
  dir.Write("src/a.txt", "alpha, changed");
  Touch(a, 3);
  Clear();
  DueOn(6);
  RunEngine({});
  EXPECT_EQ(log, Concat(Header(), {"- Copy -", "- Overwrite-" + a, "- Copy End -"}));
  EXPECT_EQ(TempDir::Read(copyA), "alpha, changed");
  EXPECT_EQ(History().back(), "Ok;2024.01.06;10:01;Update;" + Out("Docs.Zip"));
}

TEST_F(Pipeline, AStopDuringCompressionEndsTheRunInOrderAndRemovesItsArchives) {
  const std::string big = dir.Write("src/a.txt", RandomBytes(300000, 7));
  Output().Temp = dir / "work";
  Output().DuplicateFolder = dir / "dup";
  Job().EndFuncList().Add().SetName("Execute;/bin/true");
  std::string report;
  RunEngine({"Docs"}, 1, [&report](TZkThreadSave& engine) {
    engine.OnActionAddFile = [&report](TZkThreadSave& sender, TZkThreadActiveTask& t) {
      report = std::to_string(t.ItemPosition) + " " + std::to_string(t.TotalPosition - t.ItemBase);
      sender.Stop();
    };
  });

  EXPECT_EQ(errors, Lines{"Stopped In compression"});
  // The first compression report came after a 100 ms wait, with the bytes
  // read so far; the stop ended the file there and skipped the next one.
  EXPECT_EQ(sleeper.Waits, (std::vector<int>{200, 200, 100}));
  const std::string position = report.substr(0, report.find(' '));
  EXPECT_EQ(report, position + " " + position);
  EXPECT_GT(std::stoll(position), 0);
  EXPECT_EQ(log, Concat(Header(), {"- Zip Create -", "- Zip Created -" + dir / "work/Docs.Zip", "- Zip Add -" + big,
                                   "Stopped In compression", "- Zip Close -", "- Stop -"}));
  EXPECT_FALSE(fs::exists(dir / "work/Docs.Zip"));
  EXPECT_FALSE(fs::exists(Out("Docs.Zip")));
  EXPECT_FALSE(fs::exists(dir / "dup/Docs.Zip"));
  EXPECT_TRUE(programs.Calls.empty());  // no post-backup action ran
  EXPECT_EQ(events.back(), "AfterBackup");
  EXPECT_EQ(std::count(events.begin(), events.end(), "AfterEndFunc"), 1);
  EXPECT_EQ(History(), Lines{"Stopped;2024.01.05;09:07;Global;" + Out("Docs.Zip")});
}

TEST_F(Pipeline, EventsLinesWaitsAndArchiveDoNotDependOnTheCompressionThreads) {
  // Two chunks of incompressible data give many progress reports, each
  // with its wait; the small files are compressed ahead of their turn.
  dir.Write("src/big.bin", RandomBytes(5 << 20, 3));
  for (int i = 0; i < 6; ++i) dir.Write("src/small/f" + std::to_string(i) + ".txt", std::string(1000 * i, 'x'));
  Lines positions;
  onEvent = [&](const std::string& name, TZkThreadSave&, TZkThreadActiveTask& t) {
    if (name == "ActionAddFile" || name == "AfterAddFile")
      positions.push_back(name + " " + t.ItemName + " " + std::to_string(t.TotalPosition));
  };
  struct Seen {
    Lines Log, Errors, Events, Positions;
    std::vector<int> Waits;
    std::string Entries;
  };
  std::vector<Seen> seen;
  for (const int threads : {1, 2, 8}) {
    Clear();
    positions.clear();
    RunEngine({"Docs"}, 1, [threads](TZkThreadSave& engine) { engine.Threads = threads; });
    // The files' entries byte for byte; folder entries carry the moment
    // they were added.
    std::string entries;
    const ParsedZip parsed = ParseZip(Out("Docs.Zip"));
    for (const ParsedCentral& c : parsed.Central) {
      if (c.Name.back() == '/') continue;
      const ParsedLocal l = parsed.Local(c.Offset);
      entries += parsed.Bytes.substr(c.Offset, 30 + l.NameLength + l.ExtraLength + c.CompressedSize);
    }
    seen.push_back({log, errors, events, positions, sleeper.Waits, entries});
  }
  ASSERT_GT(std::count(seen[0].Events.begin(), seen[0].Events.end(), "ActionAddFile"), 40);
  EXPECT_TRUE(seen[0].Errors.empty());
  for (std::size_t i = 1; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i].Log, seen[0].Log);
    EXPECT_EQ(seen[i].Errors, seen[0].Errors);
    EXPECT_EQ(seen[i].Events, seen[0].Events);
    EXPECT_EQ(seen[i].Positions, seen[0].Positions);
    EXPECT_EQ(seen[i].Waits, seen[0].Waits);
    EXPECT_TRUE(seen[i].Entries == seen[0].Entries) << "entries " << i;
  }
}

TEST_F(Pipeline, AStoppedRunKeepsTheArchivesItDidNotWrite) {
  // A previous run's archive and duplicate under the same names.
  Output().DuplicateFolder = dir / "dup";
  RunEngine();
  const std::string previous = TempDir::Read(Out("Docs.Zip"));
  ASSERT_FALSE(previous.empty());
  Output().Temp = dir / "work";
  Clear();
  RunEngine({"Docs"}, 1, [this](TZkThreadSave& engine) {
    engine.OnAfterAddFile = [this](TZkThreadSave& sender, TZkThreadActiveTask& t) {
      if (t.ItemName == b) sender.Stop();
    };
  });
  // The stop came after the last file: the copies of the new archive were
  // never begun, so the previous ones stay.
  EXPECT_EQ(TempDir::Read(Out("Docs.Zip")), previous);
  EXPECT_EQ(TempDir::Read(dir / "dup/Docs.Zip"), previous);
  EXPECT_EQ(History().back(), "Stopped;2024.01.05;09:07;Global;" + Out("Docs.Zip"));
}

TEST_F(Pipeline, AFailingActionIsReportedOnceAndTheNextOneRuns) {
  Job().BeginFuncList().Add().SetName("Start_Service;nosuch");
  Job().BeginFuncList().Add().SetName("Execute;/bin/true;-a");
  Job().EndFuncList().Add().SetName("Execute;/bin/echo");
  Job().EndFuncList().Add().SetName("Close;editor");
  Job().EndFuncList().Add().SetName("Pause;2");
  Lines positions;
  onEvent = [&](const std::string& name, TZkThreadSave&, TZkThreadActiveTask& t) {
    if (name.find("Func") != std::string::npos)
      positions.push_back(name + " " + std::to_string(t.ItemPosition) + "/" + std::to_string(t.ItemSize));
  };
  RunEngine();

  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("nosuch"), std::string::npos) << errors[0];
  EXPECT_EQ(Lines(log.begin(), log.begin() + 6),
            Concat(Header(), {"- Pre -Start_Service;nosuch;", errors[0], "- Pre -Execute;/bin/true;-a"}));
  EXPECT_EQ(Lines(log.end() - 4, log.end()),
            (Lines{"- Zip Close -", "- Post -Execute;/bin/echo;", "- Post -Close;editor", "- Post -Pause;2"}));
  ASSERT_EQ(programs.Calls.size(), 4u);  // the close asks by class, then by caption
  EXPECT_NE(programs.Calls[0].find("/bin/true"), std::string::npos);
  EXPECT_NE(programs.Calls[1].find("/bin/echo"), std::string::npos);
  EXPECT_EQ(actionSleeper.Waits, std::vector<int>{2000});
  EXPECT_EQ(positions, (Lines{"BeforeBeginFunc 0/1", "ActionBeginFunc 0/1", "ActionBeginFunc 1/1",
                              "AfterBeginFunc 2/1", "BeforeEndFunc 0/2", "ActionEndFunc 0/2", "ActionEndFunc 1/2",
                              "ActionEndFunc 2/2", "AfterEndFunc 3/2"}));
  EXPECT_EQ(std::count(events.begin(), events.end(), "ActionEndFunc Execute;/bin/echo;"), 1);
}

// A session ender that notes whether the sleep lock was still held when the
// session was ended.
struct TLockWatchingEnder : platform::TZkFakeSessionEnder {
  explicit TLockWatchingEnder(const platform::TZkFakeSleepInhibitor& lock) : lock_(lock) {}
  void EndSession(std::uint32_t flags) override {
    HeldAtEnd.push_back(lock_.Held());
    TZkFakeSessionEnder::EndSession(flags);
  }
  std::vector<int> HeldAtEnd;

private:
  const platform::TZkFakeSleepInhibitor& lock_;
};

TEST_F(Pipeline, ARunHoldsOffSleepUntilItsEndOrItsShutdownOrRestartAction) {
  struct Case {
    const char* postAction;  // none: the run ends by itself
    std::size_t sessionEnds;
  };
  for (const Case& c : {Case{nullptr, 0}, Case{"Shutdown", 1}, Case{"Restart", 1}}) {
    SCOPED_TRACE(c.postAction != nullptr ? c.postAction : "no action");
    Clear();
    platform::TZkFakeSleepInhibitor inhibitor;
    TLockWatchingEnder ender(inhibitor);
    const TZkActionPlatform withLock{actionSleeper, services, ender, programs, &inhibitor};
    Job().EndFuncList().Clear();
    if (c.postAction != nullptr) Job().EndFuncList().Add().SetName(c.postAction);
    std::vector<int> heldWhilePacking;
    onEvent = [&](const std::string& name, TZkThreadSave&, TZkThreadActiveTask&) {
      if (name == "BeforeSave") heldWhilePacking.push_back(inhibitor.Held());
    };
    RunEngine({"Docs"}, 1, [&](TZkThreadSave& engine) { engine.SetActionPlatform(withLock); });
    EXPECT_EQ(heldWhilePacking, std::vector<int>{1});
    EXPECT_EQ(inhibitor.Events, (Lines{"take: Mentés fut: Docs", "release"}));
    EXPECT_EQ(ender.HeldAtEnd, std::vector<int>(c.sessionEnds, 0));
    EXPECT_EQ(inhibitor.Held(), 0);
    EXPECT_TRUE(errors.empty()) << errors[0];
  }
}

TEST_F(Pipeline, WithoutASleepLockTheRunGoesOnAndItsLogSaysWhy) {
  platform::TZkFakeSleepInhibitor inhibitor;
  inhibitor.Available = false;
  const TZkActionPlatform withLock{actionSleeper, services, session, programs, &inhibitor};
  RunEngine({"Docs"}, 1, [&](TZkThreadSave& engine) { engine.SetActionPlatform(withLock); });
  EXPECT_TRUE(errors.empty()) << errors[0];
  EXPECT_EQ(std::count(log.begin(), log.end(), "Az alvás nem tiltható le a mentés idejére: " + inhibitor.FailureText),
            1);
  ASSERT_EQ(History().size(), 1u);
  EXPECT_EQ(History()[0].rfind("Ok;", 0), 0u);
}

TEST_F(Pipeline, AFileDeletedAfterCollectionIsReportedAndSkipped) {
  RunEngine({"Docs"}, 1, [this](TZkThreadSave& engine) {
    engine.OnBeforeSave = [this](TZkThreadSave&, TZkThreadActiveTask&) { fs::remove(a); };
    engine.OnAfterAddFile = [this](TZkThreadSave&, TZkThreadActiveTask& t) { events.push_back("After " + t.ItemName); };
  });
  EXPECT_EQ(errors, Lines{"Megnyitási hiba (" + a + ")"});
  EXPECT_EQ(log, Concat(Header(), {"- Zip Create -", "- Zip Created -" + Out("Docs.Zip"), errors[0],
                                   "- Zip Add -" + b, "- Zip Close -"}));
  EXPECT_EQ(std::count(events.begin(), events.end(), "After " + b), 1);
  EXPECT_EQ(std::count(events.begin(), events.end(), "After " + a), 0);
  // The archive lacks a file: no previous one stands in its way, but the
  // history says what it is.
  EXPECT_EQ(History(), Lines{"Incomplete;2024.01.05;09:07;Global;" + Out("Docs.Zip")});
}

TEST_F(Pipeline, DueJobsRunHighestIndexFirstWithoutAnIdleWaitBetween) {
  TZkThreadSaveTask& second = jobs.Add();
  second.Assign(Job());
  second.Name = "Second";
  second.DefineOutput().FileName = "Second";
  RunEngine({"Docs", "Second"}, 2);
  EXPECT_EQ(finished, (Lines{"Second", "Docs"}));
  EXPECT_EQ(std::count(sleeper.Waits.begin(), sleeper.Waits.end(), 3000), 0);
  EXPECT_TRUE(fs::exists(Out("Second.Zip")));
  EXPECT_TRUE(fs::exists(Out("Docs.Zip")));
}

// A stop at any point of a run leaves the archives of the previous run as
// they were, byte for byte, and no temporary file beside them.
TEST_F(Pipeline, AStoppedRunLeavesThePreviousArchivesByteForByte) {
  struct Case {
    const char* point;
    bool workFolder;
  };
  for (const Case& c : {Case{"collection", false}, Case{"compression", false}, Case{"after the last file", false},
                        Case{"collection", true}, Case{"compression", true}, Case{"output copy", true},
                        Case{"duplicate copy", true}}) {
    SCOPED_TRACE(std::string(c.point) + (c.workFolder ? ", work folder" : ""));
    fs::remove_all(dir / "out");
    fs::remove_all(dir / "dup");
    fs::remove_all(dir / "work");
    fs::remove(dir / "Backup.Ini");
    dir.Write("src/a.txt", RandomBytes(300000, 7));
    Output().Temp = c.workFolder ? dir / "work" : "";
    Output().DuplicateFolder = dir / "dup";
    RunEngine();
    const std::string previous = TempDir::Read(Out("Docs.Zip"));
    ASSERT_EQ(TempDir::Read(dir / "dup/Docs.Zip"), previous);

    dir.Write("src/a.txt", RandomBytes(300000, 8));
    Clear();
    const std::string point = c.point;
    RunEngine({"Docs"}, 1, [&](TZkThreadSave& engine) {
      if (point == "compression")
        engine.OnActionAddFile = [](TZkThreadSave& sender, TZkThreadActiveTask&) { sender.Stop(); };
      if (point == "after the last file")
        engine.OnAfterAddFile = [this](TZkThreadSave& sender, TZkThreadActiveTask& t) {
          if (t.ItemName == b) sender.Stop();
        };
      if (point == "output copy")
        engine.OnActionCopy = [](TZkThreadSave& sender, TZkThreadActiveTask&) { sender.Stop(); };
      if (point == "duplicate copy")
        engine.OnActionDuplicate = [](TZkThreadSave& sender, TZkThreadActiveTask&) { sender.Stop(); };
      if (point == "collection") {
        sleeper.OnSleep = [&engine](int milliseconds) {
          if (milliseconds == 200) engine.Stop();
        };
      }
    });
    sleeper.OnSleep = nullptr;
    // Stopped while the duplicate was copied, the output has the new
    // archive, complete.
    if (point == "duplicate copy") {
      EXPECT_NE(TempDir::Read(Out("Docs.Zip")), previous);
    } else {
      EXPECT_EQ(TempDir::Read(Out("Docs.Zip")), previous);
    }
    EXPECT_EQ(TempDir::Read(dir / "dup/Docs.Zip"), previous);
    EXPECT_EQ(NamesIn(Out("")), Lines{"Docs.Zip"});
    EXPECT_EQ(NamesIn(dir / "dup"), Lines{"Docs.Zip"});
    EXPECT_EQ(NamesIn(dir / "work"), Lines{});
    EXPECT_EQ(History().back(), "Stopped;2024.01.05;09:07;Global;" + Out("Docs.Zip"));
    EXPECT_EQ(log.back(), "- Stop -");
    if (point == "collection") {
      EXPECT_EQ(log, Concat(Header(), {"- Stop -"}));
    }
  }
}

// A full disk while the work archive is copied to the output path: the
// output keeps the previous archive, the run is not "Ok", and the new
// backup stays in the work folder, named in an error line.
TEST_F(Pipeline, AFailedOutputCopyKeepsTheWorkArchiveAndIsNotOk) {
  Output().Temp = dir / "work";
  dir.Write("src/a.txt", RandomBytes(200000, 7));
  RunEngine();
  const std::string previous = TempDir::Read(Out("Docs.Zip"));
  dir.Write("src/a.txt", RandomBytes(200000, 8));
  Clear();
  rlimit unlimited{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &unlimited), 0);
  const auto formerHandler = std::signal(SIGXFSZ, SIG_IGN);
  RunEngine({"Docs"}, 1, [&](TZkThreadSave& engine) {
    engine.OnBeforeCopy = [&](TZkThreadSave&, TZkThreadActiveTask&) {
      rlimit full = unlimited;
      full.rlim_cur = 50000;
      setrlimit(RLIMIT_FSIZE, &full);
    };
    engine.OnAfterSave = [&](TZkThreadSave&, TZkThreadActiveTask&) { setrlimit(RLIMIT_FSIZE, &unlimited); };
  });
  setrlimit(RLIMIT_FSIZE, &unlimited);
  std::signal(SIGXFSZ, formerHandler);

  const std::string work = dir / "work/Docs.Zip";
  EXPECT_EQ(errors, (Lines{"Írási hiba, megtelt a lemez (" + Out("Docs.Zip") + ")",
                           "Az archívum a munkamappában maradt (" + work + ")"}));
  EXPECT_EQ(TempDir::Read(Out("Docs.Zip")), previous);
  EXPECT_EQ(NamesIn(Out("")), Lines{"Docs.Zip"});
  EXPECT_EQ(History().back(), "Stopped;2024.01.05;09:07;Global;" + Out("Docs.Zip"));
  ZK_REQUIRE_READERS();
  ExpectReadersAccept(work, {{EntryOf(a), RandomBytes(200000, 8)}, {EntryOf(b), "beta"}});
}

// An update into the same name builds the updated archive beside the old
// one: stopped in the middle, the old one is kept byte for byte; a file that
// cannot be packed again keeps its former entry.
TEST_F(Pipeline, AnUpdateRunNeverDamagesItsBase) {
  AddUpdateEntry();
  dir.Write("src/a.txt", RandomBytes(300000, 7));
  DueOn(5);
  RunEngine({});
  const std::string archive = Out("Docs.Zip");
  const std::string previous = TempDir::Read(archive);

  dir.Write("src/a.txt", RandomBytes(300000, 8));
  Touch(a, 2);
  Clear();
  DueOn(6);
  RunEngine({}, 1, [](TZkThreadSave& engine) {
    engine.OnActionAddFile = [](TZkThreadSave& sender, TZkThreadActiveTask&) { sender.Stop(); };
  });
  EXPECT_EQ(log, Concat(Header(), {"- Zip open by updated -", "- Zip Update -" + a, "Stopped In compression",
                                   "- Zip Close -", "- Stop -"}));
  EXPECT_EQ(TempDir::Read(archive), previous);
  EXPECT_EQ(NamesIn(Out("")), Lines{"Docs.Zip"});
  EXPECT_EQ(History().back(), "Stopped;2024.01.06;10:01;Update;" + archive);

  // The changed file disappears just before it is packed again.
  dir.Write("src/sub/b.txt", "beta, changed");
  Touch(b, 2);
  Clear();
  DueOn(7);
  RunEngine({}, 1, [this](TZkThreadSave& engine) {
    engine.OnBeforeAddFile = [this](TZkThreadSave&, TZkThreadActiveTask& t) {
      if (t.ItemName == b) fs::remove(b);
    };
  });
  EXPECT_EQ(History().back(), "Ok;2024.01.07;10:01;Update;" + archive);
  ZK_REQUIRE_READERS();
  ExpectReadersAccept(archive, {{EntryOf(a), RandomBytes(300000, 8)}, {EntryOf(b), "beta"}});
}

// The archive, the work folder and a copy run's tree are never taken into
// the backup, also when they lie inside an included folder.
TEST_F(Pipeline, TheRunsOwnOutputsAreNeverCollected) {
  Output().OutputFolder = dir / "src/out";
  Output().Temp = dir / "src/work";
  dir.Write("src/work/.Docs.Zip~999999.abcdef.part", "a leftover");
  RunEngine();
  RunEngine();
  ZK_REQUIRE_READERS();
  ExpectReadersAccept(dir / "src/out/Docs.Zip", {{EntryOf(a), "alpha"}, {EntryOf(b), "beta"}});

  Output().Temp = "";
  Output().PackMode = TZkSaveMode::tmCopy;
  RunEngine();
  RunEngine();
  EXPECT_TRUE(fs::exists(dir / ("src/out/" + EntryOf(a))));
  EXPECT_FALSE(fs::exists(dir / ("src/out/" + EntryOf(dir / "src/out/" + EntryOf(a)))));
}

// Names that differ only in letter case are two files on Linux.
TEST_F(Pipeline, FilesWhoseNamesDifferOnlyInCaseAreBothKept) {
  const std::string upper = dir.Write("src/A.txt", "upper");
  RunEngine();
  EXPECT_TRUE(errors.empty());
  ZK_REQUIRE_READERS();
  ExpectReadersAccept(Out("Docs.Zip"), {{EntryOf(a), "alpha"}, {EntryOf(upper), "upper"}, {EntryOf(b), "beta"}});
}

// Ends the engine from its idle wait, as a user's Terminate would.
class TerminatingSleeper : public TRecordingSleeper {
public:
  TZkThreadSave* Engine = nullptr;
  void Sleep(int milliseconds) override {
    TRecordingSleeper::Sleep(milliseconds);
    Engine->Terminate();
  }
};

TEST(PipelineIdle, APassWithoutDueJobWaits3000MsAndTerminateEndsTheLoopAfterIt) {
  TFixedClock clock(EncodeDate(2024, 1, 5));
  TerminatingSleeper sleeper;
  int terminated = 0;
  {
    TZkThreadSave engine(clock);
    sleeper.Engine = &engine;
    engine.SetSleeper(sleeper);
    engine.Throttle = false;  // the idle poll stays
    engine.Saving().Add().Name = "Idle";
    std::promise<void> ended;
    engine.OnTerminate = [&](TZkCustomThread&) {
      ++terminated;
      ended.set_value();
    };
    engine.Start();
    // Only the sleeper ends the loop: the engine's destruction would, too.
    ASSERT_EQ(ended.get_future().wait_for(std::chrono::seconds(60)), std::future_status::ready);
  }
  EXPECT_EQ(sleeper.Waits, std::vector<int>{3000});
  EXPECT_EQ(terminated, 1);
}

// With the machine's own waits: a program that ends its engine on a signal
// must not sit out the rest of the 3000 ms poll.
TEST(PipelineIdle, TerminateEndsTheIdleWaitAtOnce) {
  TFixedClock clock(EncodeDate(2024, 1, 5));
  TZkThreadSave engine(clock);
  engine.Saving().Add().Name = "Idle";
  std::promise<void> ended;
  engine.OnTerminate = [&](TZkCustomThread&) { ended.set_value(); };
  engine.Start();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const auto asked = std::chrono::steady_clock::now();
  engine.Terminate();
  ASSERT_EQ(ended.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(1000));
}

TEST(PipelineIdle, AnEngineDestroyedUnstartedMakesItsPassWithoutWaiting) {
  TFixedClock clock(EncodeDate(2024, 1, 5));
  TRecordingSleeper sleeper;
  {
    TZkThreadSave engine(clock);
    engine.SetSleeper(sleeper);
  }
  EXPECT_TRUE(sleeper.Waits.empty());
}

}  // namespace
}  // namespace zk::test
