// Restoring runs: archives written by the engine put back into fresh
// folders and compared with the tree they were made of, and hand-made
// hostile or damaged archives (tests/data/crafted) refused entry by entry.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <filesystem>
#include <future>
#include <map>
#include <string>
#include <vector>

#include "engine/ZkRestore.h"
#include "engine/ZkRunHistory.h"
#include "engine/ZkRunRecords.h"
#include "engine/ZkThreadSave.h"
#include "platform/ZkAtomicFile.h"
#include "platform/ZkFakePrograms.h"
#include "platform/ZkFakeServiceControl.h"
#include "platform/ZkFakeSessionEnder.h"
#include "platform/ZkFileSystem.h"
#include "support/ZkFakeClock.h"
#include "support/ZkRecordingSleeper.h"
#include "support/ZkTempDir.h"
#include "zip/ZkZipRead.h"

namespace zk::test {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

const std::string kCrafted = std::string(ZK_TEST_DATA) + "/crafted/";

// A tree as it stands on disk: relative path → content ("/" at the end of
// a folder) and the modification time in whole seconds.
struct TTreeEntry {
  std::string Content;
  std::int64_t Seconds = 0;
  friend bool operator==(const TTreeEntry&, const TTreeEntry&) = default;
};
using Tree = std::map<std::string, TTreeEntry>;

std::int64_t SecondsOf(const fs::path& path) {
  const auto info = platform::ReadFileInfo(path.string());
  return info ? info->Modified.Seconds : -1;
}

Tree ReadTree(const fs::path& root) {
  Tree tree;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    const std::string rel = fs::relative(it->path(), root).string();
    if (it->is_directory())
      tree[rel + "/"] = {"", 0};
    else
      tree[rel] = {TempDir::Read(it->path().string()), SecondsOf(it->path())};
  }
  return tree;
}

// Temporary files beside a final path: what a restore must never leave
// behind.
Lines Leftovers(const fs::path& root) {
  Lines found;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it)
    if (platform::IsAtomicTemporaryName(it->path().filename().string())) found.push_back(it->path().string());
  return found;
}

void SetSeconds(const std::string& path, std::int64_t seconds) {
  ASSERT_TRUE(platform::SetModifiedTime(path, {seconds, 0})) << path;
}

// Everything of the archives restored below `target`; the error lines.
Lines RestoreAll(const std::vector<std::string>& archives, const std::string& target, TZkRestoreCounts* counts = nullptr,
                 TZkOverwrite overwrite = TZkOverwrite::owNever) {
  TZkRestore restore(archives);
  restore.TargetFolder = target;
  restore.Overwrite = overwrite;
  Lines errors;
  restore.OnError = [&errors](const std::string& text) { errors.push_back(text); };
  std::vector<std::size_t> all;
  for (std::size_t i = 0; i < restore.Items().size(); ++i) all.push_back(i);
  const TZkRestoreCounts result = restore.Run(all);
  if (counts != nullptr) *counts = result;
  return errors;
}

// ---------------------------------------------------------------- engine runs restored

struct RestoreRoundTrip : ::testing::Test {
  RestoreRoundTrip() {
    clock.Set(2024, 1, 5, 9, 0, 0);
    TZkThreadSaveTask& job = jobs.Add();
    job.Name = "Docs";
    job.AddFiles().Add().Name = dir / "src/";
    job.DefineOutput().OutputFolder = dir / "out";
    job.DefineOutput().FileNameDate = true;
    TZkThreadSaveTimering& entry = job.TimerList().Add();
    entry.SetName("Napi");
    entry.SetTime(EncodeTime(10, 0, 0, 0));
    entry.SetUpdateSaving(true);
  }

  // One run of the schedule entry on the day: the first is full, the
  // later ones differential against it.
  void RunOn(int day, const std::function<void(TZkThreadSave&)>& setup = {}) {
    clock.Set(2024, 1, day, 9, 0, 0);
    jobs.RecalcAllTimers();
    clock.Set(2024, 1, day, 10, 1, 0);
    TZkThreadSave engine(clock);
    engine.SetSleeper(sleeper);
    engine.SetActionPlatform(actions);
    engine.HistoryFilename = dir / "Backup.Ini";
    engine.OnErrorEvent = [this](TZkThreadSave&, const std::string& line) { errors.push_back(line); };
    engine.OnAfterBackup = [](TZkThreadSave& sender, TZkThreadActiveTask&) {
      sender.Stop();
      sender.Terminate();
    };
    engine.OnLogEvent = [this](TZkThreadSave&, const std::string& line) { log.push_back(line); };
    if (setup) setup(engine);
    engine.SetSaving(jobs);
    std::promise<void> ended;
    engine.OnTerminate = [&ended](TZkCustomThread&) { ended.set_value(); };
    engine.Start();
    if (ended.get_future().wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
      engine.Terminate();
      FAIL() << "the engine did not end its run";
    }
  }

  TZkThreadSaveTask& Job() { return jobs.Items(0); }
  std::vector<TZkRunRecord> Runs() { return RunsOfHistory(TZkRunRecords::ReadJobHistory(dir / "Backup.Ini", "Docs")); }

  // The source tree as a restore below `target` must bring it back: every
  // name under the stored path of the source folder.
  Tree Restored(const std::string& target) { return ReadTree(fs::path(target) / (dir / "src").substr(1)); }

  TempDir dir;
  TFixedClock clock;
  TRecordingSleeper sleeper;
  TRecordingSleeper actionSleeper;
  platform::TZkFakeServiceControl services;
  platform::TZkFakeSessionEnder session;
  platform::TZkFakePrograms programs;
  TZkActionPlatform actions{actionSleeper, services, session, programs};
  TZkThreadSaveTasks jobs{nullptr, &clock};
  Lines errors, log;
};

TEST_F(RestoreRoundTrip, AFullRunThenADifferentialRunComeBackAsTheyWereAtEachRun) {
  // Awkward names: accents, spaces, a pair that differs in case only, a
  // name of 255 bytes and one of 254 in two-byte letters, empty files and
  // an empty folder.
  std::string accented;
  for (int i = 0; i < 125; ++i) accented += "ő";
  const std::vector<std::pair<std::string, std::string>> files = {
      {"árvíztűrő tükörfúrógép.txt", "ékezetes\n"},
      {"with space/and more spaces.txt", std::string(100000, 'x')},
      {"case/a.txt", "lower"},
      {"case/A.txt", "upper"},
      {std::string(251, 'n') + ".txt", "long ascii name"},
      {accented + ".bin", "long accented name"},
      {"empty.txt", ""},
      {"deep/er/still/empty too.dat", ""},
  };
  std::int64_t seconds = 1700000000;
  for (const auto& [name, content] : files) SetSeconds(dir.Write("src/" + name, content), seconds += 3602);
  fs::create_directories(dir.Path() / "src/empty folder");
  const Tree first = ReadTree(dir.Path() / "src");
  RunOn(5);

  // The second run: one file changed, one added.
  const std::string changed = dir.Write("src/case/a.txt", "lower, changed");
  SetSeconds(changed, seconds += 7200);
  SetSeconds(dir.Write("src/new/ő.txt", "new file"), seconds += 7200);
  const Tree second = ReadTree(dir.Path() / "src");
  RunOn(6);
  ASSERT_EQ(errors, Lines{});

  const std::vector<TZkRunRecord> runs = Runs();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].Kind, TZkRunKind::rkDifferential);
  EXPECT_EQ(runs[0].BasePath, runs[1].Path);
  EXPECT_EQ(runs[1].Kind, TZkRunKind::rkFull);
  // The differential archive holds only what changed.
  EXPECT_LT(TZkZipReader(runs[0].Path).Entries().size(), TZkZipReader(runs[1].Path).Entries().size());

  const struct {
    const char* Name;
    const TZkRunRecord& Run;
    const Tree& Expected;
  } cases[] = {{"full run", runs[1], first}, {"differential run", runs[0], second}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string target = dir / (std::string("restored ") + c.Name);
    EXPECT_EQ(RestoreAll(ArchivesOfRun(c.Run), target), Lines{});
    EXPECT_EQ(Restored(target), c.Expected);
    EXPECT_EQ(Leftovers(target), Lines{});
  }
}

TEST_F(RestoreRoundTrip, ToTheOriginalPathsAndWithEachOverwriteChoice) {
  const std::string a = dir.Write("src/a.txt", "archived a");
  const std::string b = dir.Write("src/sub/b.txt", "archived b");
  SetSeconds(a, 1700000000);
  SetSeconds(b, 1700000000);
  RunOn(5);
  ASSERT_EQ(errors, Lines{});
  const std::string archive = Runs().front().Path;

  // Gone files come back to where they were, with their folder.
  fs::remove_all(dir.Path() / "src");
  {
    TZkRestore restore({archive});
    std::vector<std::size_t> chosen;
    for (std::size_t i = 0; i < restore.Items().size(); ++i)
      if (TZkRestore::IsSelected(restore.Items()[i], {dir / "src/sub/"})) chosen.push_back(i);
    const TZkRestoreCounts counts = restore.Run(chosen);
    EXPECT_EQ(counts.Restored, 1);
    EXPECT_FALSE(fs::exists(a));
    EXPECT_EQ(TempDir::Read(b), "archived b");
    EXPECT_EQ(SecondsOf(b), 1700000000);
  }

  // An existing file: older (by more than the two seconds of the format),
  // the same time, or newer than the archive's copy.
  const struct {
    TZkOverwrite Overwrite;
    std::int64_t FileSeconds;
    bool Replaced;
  } cases[] = {
      {TZkOverwrite::owNever, 1600000000, false},  {TZkOverwrite::owNewer, 1600000000, true},
      {TZkOverwrite::owNewer, 1700000001, false}, {TZkOverwrite::owNewer, 1800000000, false},
      {TZkOverwrite::owAlways, 1800000000, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.Overwrite));
    SCOPED_TRACE(c.FileSeconds);
    fs::create_directories(dir.Path() / "src");
    SetSeconds(dir.Write("src/a.txt", "on disk"), c.FileSeconds);
    TZkRestore restore({archive});
    restore.Overwrite = c.Overwrite;
    std::vector<std::size_t> chosen;
    for (std::size_t i = 0; i < restore.Items().size(); ++i)
      if (TZkRestore::IsSelected(restore.Items()[i], {a})) chosen.push_back(i);
    ASSERT_EQ(chosen.size(), 1u);
    const TZkRestoreCounts counts = restore.Run(chosen);
    EXPECT_EQ(counts.Restored, c.Replaced ? 1 : 0);
    EXPECT_EQ(counts.Skipped, c.Replaced ? 0 : 1);
    EXPECT_EQ(TempDir::Read(a), c.Replaced ? "archived a" : "on disk");
  }
}

// Asked for each existing file, in name order, until an answer stands for
// the rest; a file that does not exist yet is never asked about.
TEST_F(RestoreRoundTrip, AskingDecidesPerFileUntilAnAnswerForAll) {
  for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"}) dir.Write(std::string("src/") + name, "archived");
  RunOn(5);
  ASSERT_EQ(errors, Lines{});
  const std::string archive = Runs().front().Path;
  using A = TZkRestoreAnswer;
  const struct {
    std::vector<A> Answers;
    Lines Asked;
    std::string Replaced;  // the letters of the files replaced
  } cases[] = {
      {{A::raNo, A::raAll}, {"a.txt", "b.txt"}, "bc"},
      {{A::raYes, A::raNone}, {"a.txt", "b.txt"}, "a"},
      {{A::raNo, A::raYes, A::raNo}, {"a.txt", "b.txt", "c.txt"}, "b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Replaced);
    const std::string target = dir / ("target " + c.Replaced);
    const std::string stored = target + (dir / "src");
    fs::remove_all(target);
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
      dir.Write(fs::relative(stored + "/" + name, dir.Path()).string(), "on disk");
    TZkRestore restore({archive});
    restore.TargetFolder = target;
    restore.Overwrite = TZkOverwrite::owAsk;
    Lines asked;
    restore.OnAsk = [&](const TZkRestoreItem& item, const std::string& destination) {
      EXPECT_EQ(destination, restore.DestinationOf(item));
      asked.push_back(fs::path(destination).filename().string());
      return c.Answers.at(asked.size() - 1);
    };
    std::vector<std::size_t> all;
    for (std::size_t i = 0; i < restore.Items().size(); ++i) all.push_back(i);
    const TZkRestoreCounts counts = restore.Run(all);
    EXPECT_EQ(asked, c.Asked);
    std::string replaced;
    for (const char* letter : {"a", "b", "c"})
      if (TempDir::Read(stored + "/" + letter + ".txt") == "archived") replaced += letter;
    EXPECT_EQ(replaced, c.Replaced);
    EXPECT_EQ(TempDir::Read(stored + "/d.txt"), "archived");
    EXPECT_EQ(counts.Restored, static_cast<int>(c.Replaced.size()) + 1);
    EXPECT_EQ(counts.Skipped, 3 - static_cast<int>(c.Replaced.size()));
  }
}

TEST_F(RestoreRoundTrip, AFileThatCannotBeWrittenIsReportedAndTheRestGoesOn) {
  dir.Write("src/a/x.txt", "x");
  dir.Write("src/b.txt", "b");
  dir.Write("src/c.txt", "c");
  RunOn(5);
  const std::string target = dir / "target";
  // A folder where b.txt belongs, and a file where folder a belongs.
  const std::string stored = target + "/" + (dir / "src").substr(1);
  fs::create_directories(stored + "/b.txt");
  dir.Write(fs::relative(stored + "/a", dir.Path()).string(), "a file, not a folder");
  TZkRestoreCounts counts;
  const Lines lines = RestoreAll({Runs().front().Path}, target, &counts, TZkOverwrite::owAlways);
  const std::string prefix = (dir / "src").substr(1);
  EXPECT_EQ(lines, (Lines{prefix + "/a/ (az útvonalon fájl áll mappa helyett)",
                          prefix + "/a/x.txt (az útvonalon fájl áll mappa helyett)",
                          prefix + "/b.txt (Létrehozási hiba (" + stored + "/b.txt))"}));
  EXPECT_EQ(counts.Restored, 1);
  EXPECT_EQ(counts.Failed, 3);
  EXPECT_EQ(TempDir::Read(stored + "/c.txt"), "c");
}

TEST_F(RestoreRoundTrip, AnArchiveThatDoesNotReadBackKeepsThePreviousOneAndIsNotOk) {
  Job().DefineOutput().FileNameDate = false;
  Job().DefineOutput().VerifyArchive = true;
  dir.Write("src/a.txt", std::string(20000, 'a'));
  RunOn(5);
  ASSERT_EQ(errors, Lines{});
  const std::string archive = dir / "out/Docs.Zip";
  const std::string previous = TempDir::Read(archive);

  // The new archive is damaged on its way to the disk: once its last file
  // is in, the last byte of that entry's data is changed.
  dir.Write("src/a.txt", std::string(30000, 'b'));
  log.clear();
  RunOn(6, [this](TZkThreadSave& engine) {
    engine.OnAfterAddFile = [this](TZkThreadSave&, TZkThreadActiveTask&) {
      for (const auto& file : fs::directory_iterator(dir.Path() / "out")) {
        if (!platform::IsAtomicTemporaryName(file.path().filename().string())) continue;
        std::fstream part(file.path(), std::ios::in | std::ios::out | std::ios::binary);
        part.seekp(static_cast<std::streamoff>(fs::file_size(file.path())) - 1);
        part.put('\x55');
      }
    };
  });
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_TRUE(errors[0].starts_with("Hibás bejegyzés: " + (dir / "src/a.txt").substr(1) + " (")) << errors[0];
  EXPECT_NE(std::find(log.begin(), log.end(), "- Zip Verify -"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "- Zip Verify Failed -"), log.end());
  EXPECT_EQ(TempDir::Read(archive), previous);
  EXPECT_EQ(Runs().front().Status, "Stopped");
  EXPECT_EQ(Leftovers(dir.Path() / "out"), Lines{});
}

// ---------------------------------------------------------------- crafted archives

struct TCraftedCase {
  const char* Archive;
  Lines Errors;    // of the restore, in entry-name order
  Lines Restored;  // files found below the target afterwards
};

class RestoreCrafted : public ::testing::TestWithParam<TCraftedCase> {};

TEST_P(RestoreCrafted, BadEntriesAreRefusedAndNothingIsWrittenOutsideTheTarget) {
  const TCraftedCase& c = GetParam();
  TempDir dir;
  const std::string target = dir / "target";
  fs::create_directories(target);
  // A link in the target that leads out of it.
  fs::create_directories(dir.Path() / "elsewhere");
  fs::create_directory_symlink(dir.Path() / "elsewhere", fs::path(target) / "link");
  const Lines errors = RestoreAll({kCrafted + c.Archive}, target);
  EXPECT_EQ(errors, c.Errors);
  Lines restored;
  for (auto it = fs::recursive_directory_iterator(target); it != fs::recursive_directory_iterator(); ++it)
    if (it->is_regular_file() && !it->is_symlink()) restored.push_back(fs::relative(it->path(), target).string());
  std::sort(restored.begin(), restored.end());
  EXPECT_EQ(restored, c.Restored);
  EXPECT_TRUE(fs::is_empty(dir.Path() / "elsewhere"));
  EXPECT_FALSE(fs::exists(dir.Path() / "escaped.txt"));
  EXPECT_FALSE(fs::exists("/tmp/zk-crafted-absolute.txt"));
  EXPECT_EQ(Leftovers(target), Lines{});
}

INSTANTIATE_TEST_SUITE_P(
    Archives, RestoreCrafted,
    ::testing::Values(
        TCraftedCase{"dot-dot.zip",
                     {"../escaped.txt (\"..\" az útvonalban)", "sub/../../escaped.txt (\"..\" az útvonalban)"},
                     {"ok.txt"}},
        TCraftedCase{"absolute.zip", {"/tmp/zk-crafted-absolute.txt (abszolút útvonal)"}, {"ok.txt"}},
        TCraftedCase{"through-link.zip", {"link/escaped.txt (szimbolikus link vezetne ki a célmappából)"}, {"ok.txt"}},
        TCraftedCase{"forged-size.zip", {"big.bin (hosszabb a megadott méretnél)"}, {"ok.txt"}},
        TCraftedCase{"short-data.zip", {"short.txt (rövidebb a megadott méretnél)"}, {"ok.txt"}},
        TCraftedCase{"bad-crc.zip", {"bad.txt (hibás CRC)"}, {"ok.txt"}},
        TCraftedCase{"bad-crc-stored.zip", {"bad.txt (hibás CRC)"}, {"ok.txt"}},
        TCraftedCase{"unknown-method.zip", {"odd.bin (ismeretlen tömörítési mód)"}, {"ok.txt"}},
        TCraftedCase{"beyond-end.zip", {"beyond.bin (az adat túlnyúlik az archívum végén)"}, {"ok.txt"}},
        TCraftedCase{"unicode-path.zip", {}, {"kés.txt", "árvíztűrő.txt"}}));

TEST(RestoreCraftedArchive, ATruncatedArchiveHasNoDirectoryToRestoreFrom) {
  EXPECT_THROW(TZkRestore({kCrafted + "truncated.zip"}), EZkZipArchiveError);
  try {
    VerifyArchiveEntries(kCrafted + "truncated.zip");
    ADD_FAILURE() << "no error";
  } catch (const EZkZipArchiveError& error) {
    EXPECT_EQ(std::string(error.what()), "Nem olvasható zip archívum (" + kCrafted + "truncated.zip)");
  }
}

TEST(RestoreCraftedArchive, VerifyNamesEveryBadEntryAndPassesGoodOnes) {
  EXPECT_EQ(VerifyArchiveEntries(kCrafted + "dot-dot.zip"), Lines{});
  EXPECT_EQ(VerifyArchiveEntries(kCrafted + "bad-crc.zip"), Lines{"bad.txt (hibás CRC)"});
  EXPECT_EQ(VerifyArchiveEntries(kCrafted + "forged-size.zip"), Lines{"big.bin (hosszabb a megadott méretnél)"});
}

TEST(RestoreEntryNames, UnsafeNamesAreNamedByTheirReason) {
  const std::pair<const char*, const char*> cases[] = {
      {"a/b.txt", nullptr},
      {"a/b/", nullptr},
      {"..a/b..", nullptr},
      {"/etc/passwd", "abszolút útvonal"},
      {"C:/x.txt", "abszolút útvonal"},
      {"\\\\server\\x", "abszolút útvonal"},
      {"a/../../b", "\"..\" az útvonalban"},
      {"..", "\"..\" az útvonalban"},
      {"a//b", "érvénytelen név"},
      {"./a", "érvénytelen név"},
      {"", "üres név"},
  };
  for (const auto& [name, reason] : cases) {
    SCOPED_TRACE(name);
    const auto unsafe = UnsafeEntryName(name);
    if (reason == nullptr)
      EXPECT_FALSE(unsafe.has_value()) << *unsafe;
    else
      EXPECT_EQ(unsafe.value_or("(safe)"), reason);
  }
}

}  // namespace
}  // namespace zk::test
