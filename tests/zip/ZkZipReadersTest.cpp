// Archives built by the writer, checked by four outside readers: each must
// test them clean and extract exactly the sources.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/ZkFileSystem.h"
#include "util/ZkDateTime.h"
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

  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    TZkZip writer;
    writer.OpenArchive(archive);
    writer.SetCompressionType(TZipCompressionType::ctNone);
    int blocks = 0;
    writer.OnCompressFile = [&](TZkZip&, std::int64_t, std::int64_t) {
      // Well into the file's data: tell the parent, then wait to be killed.
      if (++blocks == 100) {
        const char signal = 'k';
        if (write(ready[1], &signal, 1) != 1) _exit(2);
        for (;;) pause();
      }
    };
    writer.AddFile(big);
    _exit(3);
  }
  close(ready[1]);
  char signal = 0;
  ASSERT_EQ(read(ready[0], &signal, 1), 1);
  close(ready[0]);
  ASSERT_EQ(kill(child, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));

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

}  // namespace
}  // namespace zk
