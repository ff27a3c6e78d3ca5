// Archives built by the writer, checked by four outside readers: each must
// test them clean and extract exactly the sources.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "base/ZkDateTime.h"
#include "platform/ZkAtomicFile.h"
#include "platform/ZkFileSystem.h"
#include "zip/ZkZip.h"
#include "zip/ZkZipTestSupport.h"

namespace zk {
namespace {

using test::Expected;
using test::RandomBytes;
using test::TempDir;
using test::TextBytes;

const TDateTime kMoment = EncodeDateTime(2024, 1, 5, 9, 7, 32, 0);

class ZipReadersTest : public ::testing::Test {
protected:
  void SetUp() override {
    archive = dir / "a.zip";
    zip.SetSaveDriveName(true);
  }
  void Create() {
    zip.CreateArchive(archive);
    zip.OpenArchive(archive);
    ASSERT_TRUE(zip.IsZipFile());
  }
  void Add(const std::string& name, const std::string& content) {
    TZkZipMemorySource source(content);
    zip.Entries().AddStream("/" + name, platform::faArchive, source, kMoment);
    expected[name] = content;
  }
  // Closes the archive, then checks it with the readers and by reopening.
  void Check() {
    zip.CloseArchive();
    TZkZip reopened;
    reopened.OpenArchive(archive);
    ASSERT_TRUE(reopened.IsZipFile());
    test::ExpectReadersAccept(archive, expected);
  }

  TempDir dir;
  std::string archive;
  TZkZip zip;
  Expected expected;
};

TEST_F(ZipReadersTest, MixedArchiveWithCp852AndUtf8Names) {
  ZK_REQUIRE_READERS();
  Create();
  zip.SetComment({"Mentés 2024.01.05", "második sor"});
  Add("C/Data/Sub/a.txt", TextBytes(150000, 1));
  Add("C/Data/Árvíztűrő tükörfúrógép.txt", TextBytes(9000, 2));
  Add("C/Data/€uro és Õ.txt", "utf-8 name");
  Add("C/Data/empty.txt", "");
  Add("C/random.bin", RandomBytes(200000, 3));
  zip.SetCompressionType(TZipCompressionType::ctNone);
  Add("C/stored.bin", RandomBytes(70000, 4));
  zip.SetCompressionType(TZipCompressionType::ctFast);
  Add("C/fast.txt", TextBytes(80000, 5));
  Add("C/Data/Sub/a.txt", "replaced");
  zip.Entries().DeleteEntry(zip.Entries().IndexOfName("/C/random.bin"));
  expected.erase("C/random.bin");
  Check();
}

TEST_F(ZipReadersTest, RebuiltArchivesInMemoryAndThroughATempFile) {
  ZK_REQUIRE_READERS();
  for (const bool temp : {false, true}) {
    SCOPED_TRACE(temp);
    expected.clear();
    Create();
    zip.SetSaveMethod(TZipSaveMethod::RebuildAll);
    zip.SetUseTempFiles(temp);
    Add("R/a.txt", TextBytes(40000, 1));
    Add("R/b.bin", RandomBytes(30000, 2));
    Add("R/Ügy.txt", "cp852");
    Add("R/a.txt", "replaced");
    zip.Entries().DeleteEntry(zip.Entries().IndexOfName("/R/b.bin"));
    expected.erase("R/b.bin");
    Check();
  }
}

TEST_F(ZipReadersTest, WalkedArchiveTakesFurtherEntries) {
  ZK_REQUIRE_READERS();
  Create();
  Add("W/a.txt", TextBytes(20000, 1));
  Add("W/b.txt", TextBytes(30000, 2));
  zip.CloseArchive();
  // Cut after the last local entry: the directory and end record are gone.
  const auto size = std::filesystem::file_size(archive);
  std::uint64_t cut = size;
  {
    const std::string bytes = TempDir::Read(archive);
    cut = bytes.find(std::string("PK\x01\x02", 4));
  }
  std::filesystem::resize_file(archive, cut);
  zip.OpenArchive(archive);
  ASSERT_TRUE(zip.IsZipFile());
  Add("W/c.txt", "after the walk");
  Check();
}

TEST_F(ZipReadersTest, FailedAddsLeaveAValidArchive) {
  ZK_REQUIRE_READERS();
  Create();
  Add("F/a.txt", TextBytes(10000, 1));
  zip.OnCompressFile = [](TZkZip&, std::int64_t, std::int64_t) { throw EZkError("stop"); };
  const std::string bigData = RandomBytes(400000, 2);
  TZkZipMemorySource big(bigData);
  EXPECT_THROW(zip.Entries().AddStream("/F/stopped.bin", 0x20, big, kMoment), EZkError);
  zip.OnCompressFile = nullptr;
  Add("F/b.txt", "after the failure");
  Check();
}

TEST_F(ZipReadersTest, NamesDifferingInCaseAndANameThatIsNotUtf8) {
  ZK_REQUIRE_READERS();
  Create();
  Add("N/a.txt", "lower");
  Add("N/A.txt", "upper");
  Check();

  expected.clear();
  Create();
  Add("N/caf\xe9.txt", "latin-1 name");
  Add("N/plain.txt", "plain");
  zip.CloseArchive();
  test::ExpectReadersTestOk(archive, 3);
  // unzip writes the name back byte for byte.
  TempDir out;
  const test::CommandResult extracted = test::Run("unzip -q " + test::Quote(archive) + " -d " + test::Quote(out.Path().string()));
  ASSERT_EQ(extracted.Status, 0) << extracted.Output;
  EXPECT_EQ(TempDir::Read(out / "N/caf\xe9.txt"), "latin-1 name");
  EXPECT_EQ(TempDir::Read(out / "N/plain.txt"), "plain");
}

TEST_F(ZipReadersTest, Cp852NamesCarryAUnicodePathFieldThatOutsideReadersShow) {
  ZK_REQUIRE_READERS();
  Create();
  Add("U/árvíztűrő tükörfúrógép.txt", "cp852");
  Add("U/plain.txt", "ascii");
  Add("U/€uro.txt", "utf-8 flag");
  zip.Entries().AddFolders("/U/Ügyek/");
  zip.CloseArchive();

  // The field of each record, decoded here: version 1, the CRC-32 of the
  // stored name, the UTF-8 name; in the local header after the name.
  const test::ParsedZip parsed = test::ParseZip(archive);
  ASSERT_EQ(parsed.Central.size(), 5u);
  std::map<std::string, std::string> fields;
  for (const test::ParsedCentral& c : parsed.Central) {
    const test::ParsedLocal l = parsed.Local(c.Offset);
    EXPECT_EQ(l.Extra, c.Extra) << c.Name;
    if (c.Extra.empty()) continue;
    ASSERT_GE(c.Extra.size(), 9u);
    EXPECT_EQ(test::Le(c.Extra, 0, 2), 0x7075u);
    EXPECT_EQ(test::Le(c.Extra, 2, 2), c.Extra.size() - 4);
    EXPECT_EQ(test::Le(c.Extra, 4, 1), 1u);
    EXPECT_EQ(test::Le(c.Extra, 5, 4), test::Crc(c.Name));
    EXPECT_EQ(c.Flags & 0x0800, 0u);
    fields[c.Extra.substr(9)] = c.Name;
  }
  // Only the CP852 names outside ASCII ("U/" and the others have none).
  EXPECT_EQ(fields, (std::map<std::string, std::string>{
                        {"U/árvíztűrő tükörfúrógép.txt", "U/\xa0rv\xa1zt\xfbr\x8b t\x81k\x94rf\xa3r\xa2g\x82p.txt"},
                        {"U/Ügyek/", "U/\x9agyek/"}}));

  // Each outside reader lists the UTF-8 names without being told the code
  // page.
  for (const std::string& list : {std::string("unzip -l"), test::SevenZip() + " l", std::string("bsdtar -tf")}) {
    const test::CommandResult listed = test::Run(list + " " + test::Quote(archive));
    EXPECT_EQ(listed.Status, 0) << list;
    EXPECT_NE(listed.Output.find("U/árvíztűrő tükörfúrógép.txt"), std::string::npos) << list << "\n" << listed.Output;
    EXPECT_NE(listed.Output.find("U/Ügyek"), std::string::npos) << list << "\n" << listed.Output;
  }
  expected = {{"U/árvíztűrő tükörfúrógép.txt", "cp852"}, {"U/plain.txt", "ascii"}, {"U/€uro.txt", "utf-8 flag"},
              {"U/Ügyek/", ""}};
  test::ExpectReadersAccept(archive, expected);
}

TEST_F(ZipReadersTest, UpdatedArchiveBuiltBesideTheOldOneFromCopiedAndNewEntries) {
  ZK_REQUIRE_READERS();
  Create();
  zip.SetComment({"régi"});
  Add("U/keep.txt", TextBytes(60000, 1));
  Add("U/Árvíz.txt", "cp852 name");
  Add("U/€uro.txt", "utf-8 name");
  Add("U/changed.bin", RandomBytes(50000, 2));
  Add("U/gone.txt", "deleted since");
  Add("U/empty.txt", "");
  zip.CloseArchive();
  TZkZip old;
  old.OpenArchive(archive);
  ASSERT_TRUE(old.IsZipFile());

  // The new archive takes the old one's name while the old one is read.
  zip.BeginArchive(archive);
  zip.BeginUpdate();
  for (const char* name : {"U/", "U/keep.txt", "U/Árvíz.txt", "U/€uro.txt", "U/empty.txt"})
    ASSERT_NE(zip.CopyEntry(old, old.Entries().IndexOfName(name)), nullptr) << name;
  expected.erase("U/gone.txt");
  Add("U/changed.bin", RandomBytes(70000, 3));
  Add("U/added.txt", TextBytes(30000, 4));
  zip.EndUpdate();
  zip.CommitArchive();
  EXPECT_TRUE(old.IsZipFile());
  Check();
}

// Announces more than it has, like a file that shrinks while it is read.
class ShrinkingSource : public TZkZipSource {
public:
  explicit ShrinkingSource(const std::string& data) : inner_(data), size_(static_cast<std::int64_t>(data.size()) * 3) {}
  std::int64_t Size() override { return size_; }
  std::size_t Read(char* buffer, std::size_t size) override { return inner_.Read(buffer, size); }

private:
  TZkZipMemorySource inner_;
  std::int64_t size_;
};

TEST_F(ZipReadersTest, ShortSourcesAndForeignEntries) {
  ZK_REQUIRE_READERS();
  Create();
  const std::string data = TextBytes(120000, 7);
  ShrinkingSource source(data);
  zip.Entries().AddStream("/S/short.txt", 0x20, source, kMoment);
  expected["S/short.txt"] = data;
  Add("S/other.txt", "other");
  Check();
}

TEST_F(ZipReadersTest, BatchedAddsGiveTheSameArchive) {
  ZK_REQUIRE_READERS();
  Create();
  zip.BeginUpdate();
  for (int i = 0; i < 40; ++i) Add("B/f" + std::to_string(i) + ".txt", TextBytes(1000 + 37 * i, i));
  zip.EndUpdate();
  Check();
}

// A small tree of files on disk: text over several compression chunks,
// incompressible data over two, an empty file and small ones.
struct ThreadTree {
  explicit ThreadTree(const TempDir& dir) {
    const auto put = [&](const std::string& name, const std::string& content) {
      const std::string path = dir / ("tree/" + name);
      std::filesystem::create_directories(std::filesystem::path(path).parent_path());
      std::ofstream(path, std::ios::binary) << content;
      Files.push_back(path);
      Contents[path.substr(1)] = content;
    };
    put("text.txt", TextBytes((std::size_t{21} << 19) + 123, 1));
    put("random.bin", RandomBytes((std::size_t{9} << 19) + 7, 2));
    put("empty.txt", "");
    for (int i = 0; i < 12; ++i) put("small/f" + std::to_string(i) + ".txt", TextBytes(300 * i + 1, 10 + i));
  }
  std::vector<std::string> Files;
  Expected Contents;
};

// Writes the files with the threads and the compression given, planned
// ahead as a run does; returns the archive's bytes.
std::string ArchiveWithThreads(const std::string& archive, const std::vector<std::string>& files, int threads,
                               TZipCompressionType type) {
  TZkZip zip;
  zip.SetSaveDriveName(true);
  // Folder entries carry the moment they were added.
  zip.SetStoreFolders(false);
  zip.SetThreads(threads);
  zip.SetCompressionType(type);
  zip.BeginArchive(archive);
  zip.BeginUpdate();
  zip.PlanFiles(files);
  for (const std::string& file : files) EXPECT_NE(zip.AddFile(file), nullptr) << file;
  zip.EndUpdate();
  zip.CommitArchive();
  return TempDir::Read(archive);
}

TEST_F(ZipReadersTest, TheArchiveIsTheSameForAnyNumberOfThreads) {
  ZK_REQUIRE_READERS();
  const ThreadTree tree(dir);
  for (const auto type : {TZipCompressionType::ctNormal, TZipCompressionType::ctMaximum, TZipCompressionType::ctFast,
                          TZipCompressionType::ctNone}) {
    SCOPED_TRACE(static_cast<int>(type));
    const std::string single = ArchiveWithThreads(archive, tree.Files, 1, type);
    test::ExpectReadersAccept(archive, tree.Contents);
    for (const int threads : {2, 8})
      EXPECT_TRUE(ArchiveWithThreads(archive, tree.Files, threads, type) == single) << threads << " threads";
  }
}

TEST_F(ZipReadersTest, FilesAddedOutOfPlanOrChangedSinceTheyWereOpenedAhead) {
  ZK_REQUIRE_READERS();
  ThreadTree tree(dir);
  const std::vector<std::string>& files = tree.Files;
  zip.SetThreads(3);
  zip.BeginArchive(archive);
  zip.BeginUpdate();
  zip.PlanFiles(files);
  // The first two are skipped; the fourth changes after it may have been
  // compressed ahead; one file that was never planned comes in between.
  ASSERT_NE(zip.AddFile(files[2]), nullptr);
  std::ofstream(files[3], std::ios::binary) << "changed";
  std::filesystem::last_write_time(files[3], std::filesystem::last_write_time(files[3]) + std::chrono::hours(1));
  ASSERT_NE(zip.AddFile(files[3]), nullptr);
  ASSERT_NE(zip.AddFile(files[0]), nullptr);
  for (std::size_t i = 4; i < files.size(); ++i) ASSERT_NE(zip.AddFile(files[i]), nullptr);
  zip.EndUpdate();
  zip.CommitArchive();
  tree.Contents.erase(files[1].substr(1));
  tree.Contents[files[3].substr(1)] = "changed";
  test::ExpectReadersAccept(archive, tree.Contents);
}

// Runs `change` on the archive in a child process, which tells the parent
// through `stopped` (from an event handler) that it stands where it is to
// be killed, or is killed after `delay` when that comes first. Returns once
// the child is dead.
void KillChild(const std::function<void(TZkZip& writer, const std::function<void()>& stopped)>& change,
               const std::string& archive, std::chrono::milliseconds delay) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    TZkZip writer;
    writer.OpenArchive(archive);
    writer.SetCompressionType(TZipCompressionType::ctFast);
    const auto stopped = [&] {
      const char signal = 'k';
      if (write(ready[1], &signal, 1) != 1) _exit(2);
      for (;;) pause();
    };
    try {
      change(writer, stopped);
    } catch (const EZkError& e) {
      std::fprintf(stderr, "%s\n", e.what());
      _exit(4);
    }
    _exit(3);
  }
  close(ready[1]);
  pollfd wait{ready[0], POLLIN, 0};
  const int polled = poll(&wait, 1, static_cast<int>(delay.count()));
  close(ready[0]);
  ASSERT_EQ(kill(child, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended before it was killed: " << polled;
}

TEST_F(ZipReadersTest, KilledWhileAddingKeepsTheCompleteEntries) {
  ZK_REQUIRE_READERS();
  Create();
  Add("K/a.txt", TextBytes(50000, 1));
  Add("K/b.bin", RandomBytes(70000, 2));
  zip.CloseArchive();
  const std::string big = dir / "big.bin";
  {
    std::ofstream out(big, std::ios::binary);
  }
  std::filesystem::resize_file(big, std::uint64_t{64} << 20);

  KillChild(
      [&big](TZkZip& writer, const std::function<void()>& stopped) {
        writer.SetCompressionType(TZipCompressionType::ctNone);
        int blocks = 0;
        // Well into the file's data.
        writer.OnCompressFile = [&](TZkZip&, std::int64_t, std::int64_t) {
          if (++blocks == 100) stopped();
        };
        writer.AddFile(big);
      },
      archive, std::chrono::seconds(60));

  zip.OpenArchive(archive);
  ASSERT_TRUE(zip.IsZipFile());
  std::vector<std::string> names;
  for (int i = 0; i < zip.Entries().Count(); ++i) names.push_back(zip.Entries().Items(i).Name());
  // The folder entries of the big file's path were complete before it began.
  ASSERT_GE(names.size(), 3u);
  EXPECT_EQ(names[0], "K/");
  EXPECT_EQ(names[1], "K/a.txt");
  EXPECT_EQ(names[2], "K/b.bin");
  for (std::size_t i = 3; i < names.size(); ++i) {
    EXPECT_EQ(names[i].back(), '/') << names[i];
    expected[names[i]] = "";
  }
  Add("K/c.txt", "added after the crash");
  Check();
}


// ---------------------------------------------------------------- killed while rewriting

constexpr int kKillEntries = 24;

std::string KillName(int i) { return "K/f" + std::to_string(i) + ".bin"; }
std::string KillData(int i) { return i % 2 == 0 ? RandomBytes(150000, i) : TextBytes(250000, i); }

Expected KillEntries() {
  Expected entries{{"K/", ""}};
  for (int i = 0; i < kKillEntries; ++i) entries[KillName(i)] = KillData(i);
  return entries;
}

// Every entry of the archive is one of `allowed` with its own data, there are
// at least `minimum`, and unzip and Python test it clean.
void ExpectIntact(const std::string& archive, const Expected& allowed, std::size_t minimum) {
  const test::ParsedZip parsed = test::ParseZip(archive);
  EXPECT_GE(parsed.Central.size(), minimum);
  for (const auto& c : parsed.Central) {
    const auto found = allowed.find(c.Name);
    if (found == allowed.end()) {
      ADD_FAILURE() << "unexpected entry " << c.Name;
      continue;
    }
    EXPECT_TRUE(parsed.Data(c) == found->second) << c.Name;
  }
  const std::string python = "python3 -c 'import sys, zipfile; assert zipfile.ZipFile(sys.argv[1]).testzip() is None' ";
  for (const std::string& command : {std::string("unzip -tq "), python}) {
    const test::CommandResult r = test::Run(command + test::Quote(archive));
    EXPECT_EQ(r.Status, 0) << command << r.Output;
  }
}

class ZipKillTest : public ZipReadersTest {
protected:
  void SetUp() override {
    ZipReadersTest::SetUp();
    Create();
    zip.SetCompressionType(TZipCompressionType::ctFast);
    zip.BeginUpdate();
    for (int i = 0; i < kKillEntries; ++i) Add(KillName(i), KillData(i));
    zip.EndUpdate();
    zip.CloseArchive();
  }
};

TEST_F(ZipKillTest, KilledAtAnyStepOfADeleteOrReplaceLeavesTheArchiveAsItWas) {
  ZK_REQUIRE_READERS();
  const std::string before = TempDir::Read(archive);
  // Which event to stop in, and at which of its calls.
  struct Point {
    bool Replace;
    bool InCompression;
    int At;
  } points[] = {
      {false, false, 0},
      {false, false, kKillEntries / 2},
      {false, false, kKillEntries - 1},      // the last entry copied
      {false, false, kKillEntries + 3},      // among the central records
      {false, false, 2 * kKillEntries},      // the end, before the rename
      {true, false, 5},
      {true, true, 0},
      {true, true, 2},
  };
  const std::string replacement = RandomBytes(600000, 99);
  for (const Point& point : points) {
    SCOPED_TRACE(std::to_string(point.Replace) + " " + std::to_string(point.InCompression) + " " +
                 std::to_string(point.At));
    KillChild(
        [&](TZkZip& writer, const std::function<void()>& stopped) {
          int calls = 0;
          const auto count = [&, stopped](TZkZip&, std::int64_t, std::int64_t) {
            if (calls++ == point.At) stopped();
          };
          if (point.InCompression)
            writer.OnCompressFile = count;
          else
            writer.OnRebuildZip = count;
          if (point.Replace) {
            TZkZipMemorySource source(replacement);
            writer.Entries().AddStream("/" + KillName(3), platform::faArchive, source, kMoment);
          } else {
            writer.Entries().DeleteEntry(writer.Entries().IndexOfName("/" + KillName(5)));
          }
        },
        archive, std::chrono::milliseconds(60000));
    EXPECT_TRUE(TempDir::Read(archive) == before);
    ExpectIntact(archive, KillEntries(), kKillEntries + 1);
    // The killed writer's new archive is left beside the old one, to be
    // cleared away as the leftover of a process that is gone.
    int leftovers = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
      leftovers += platform::IsAtomicTemporaryName(entry.path().filename().string());
    EXPECT_EQ(leftovers, 1);
    platform::RemoveAtomicLeftovers(dir.Path().string());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
  }
}

TEST_F(ZipKillTest, KilledAtRandomMomentsOfDeletesAndAddsKeepsEveryEntry) {
  ZK_REQUIRE_READERS();
  Expected allowed = KillEntries();
  allowed["K/after.txt"] = "after";
  for (const int delay : {10, 25, 40, 60, 85, 110, 140, 170, 200, 240}) {
    SCOPED_TRACE(delay);
    KillChild(
        [&](TZkZip& writer, const std::function<void()>&) {
          // The first file is deleted and added again at the end, over and
          // over, so that most of the time goes into moving every other
          // entry down and the directory is rewritten all the time.
          writer.SetCompressionType(TZipCompressionType::ctNone);
          const auto add = [&](const std::string& name) {
            TZkZipMemorySource source(allowed.at(name));
            writer.Entries().AddStream("/" + name, platform::faArchive, source, kMoment);
          };
          // The previous kill may have come between a delete and its add.
          for (int i = 0; i < kKillEntries; ++i)
            if (writer.Entries().IndexOfName("/" + KillName(i)) < 0) add(KillName(i));
          for (;;) {
            const std::string name = writer.Entries().Items(1).Name();
            writer.Entries().DeleteEntry(1);
            add(name);
          }
        },
        archive, std::chrono::milliseconds(delay));
    // A kill while an entry was appended loses only the directory: the
    // next open finds the entries by their local headers, and the next add
    // writes the directory again.
    TZkZip reopened;
    reopened.OpenArchive(archive);
    ASSERT_TRUE(reopened.IsZipFile());
    ASSERT_GE(reopened.Entries().Count(), kKillEntries);
    TZkZipMemorySource after("after");
    reopened.Entries().AddStream("/K/after.txt", platform::faArchive, after, kMoment);
    reopened.CloseArchive();
    ExpectIntact(archive, allowed, kKillEntries + 1);
    reopened.OpenArchive(archive);
    reopened.Entries().DeleteEntry(reopened.Entries().IndexOfName("/K/after.txt"));
    reopened.CloseArchive();
  }
}

}  // namespace
}  // namespace zk
