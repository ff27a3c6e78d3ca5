// ZIP64: more entries than 16 bits count, and an entry of more than 4 GiB
// (from a sparse file), read back by the component and by outside readers.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "base/ZkDateTime.h"
#include "support/ZkSanitizedMemory.h"
#include "zip/ZkZip.h"
#include "zip/ZkZipRead.h"
#include "zip/ZkZipTestSupport.h"

namespace zk {
namespace {

using test::Le;
using test::TempDir;

const TDateTime kMoment = EncodeDateTime(2024, 1, 5, 9, 7, 32, 0);

std::string ReadRange(const std::string& path, std::uint64_t offset, std::size_t size) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  std::string bytes(size, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(size));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes;
}

// The ZIP64 end record as found through the locator before the end record.
struct Zip64End {
  std::uint64_t Entries = 0, CentralSize = 0, CentralOffset = 0;
  std::uint64_t ClassicEntries = 0, ClassicCentralOffset = 0;
};

Zip64End ReadZip64End(const std::string& path) {
  const auto size = std::filesystem::file_size(path);
  const std::string tail = ReadRange(path, size - 22 - 20, 42);
  EXPECT_EQ(Le(tail, 20, 4), 0x06054B50u);
  EXPECT_EQ(Le(tail, 0, 4), 0x07064B50u);
  Zip64End end;
  end.ClassicEntries = Le(tail, 20 + 10, 2);
  end.ClassicCentralOffset = Le(tail, 20 + 16, 4);
  const std::uint64_t recordOffset = Le(tail, 8, 8);
  EXPECT_EQ(recordOffset, size - 22 - 20 - 56);
  const std::string record = ReadRange(path, recordOffset, 56);
  EXPECT_EQ(Le(record, 0, 4), 0x06064B50u);
  EXPECT_EQ(Le(record, 4, 8), 44u);
  end.Entries = Le(record, 32, 8);
  end.CentralSize = Le(record, 40, 8);
  end.CentralOffset = Le(record, 48, 8);
  return end;
}

TEST(Zip64Test, SeventyThousandEntries) {
  TempDir dir;
  const std::string archive = dir / "many.zip";
  constexpr int kCount = 70000;
  {
    TZkZip zip;
    zip.CreateArchive(archive);
    zip.OpenArchive(archive);
    zip.SetStoreFolders(false);
    zip.SetCompressionType(TZipCompressionType::ctFast);
    zip.BeginUpdate();
    for (int i = 0; i < kCount; ++i) {
      const std::string content = "entry " + std::to_string(i) + "\n";
      TZkZipMemorySource source(content);
      zip.Entries().AddStream("f" + std::to_string(i) + ".txt", 0x20, source, kMoment);
    }
    zip.EndUpdate();
  }
  const Zip64End end = ReadZip64End(archive);
  EXPECT_EQ(end.Entries, static_cast<std::uint64_t>(kCount));
  EXPECT_EQ(end.ClassicEntries, 0xFFFFu);
  // The offset still fits: it stays in the classic field.
  EXPECT_EQ(end.ClassicCentralOffset, end.CentralOffset);

  TZkZip zip;
  zip.OpenArchive(archive);
  ASSERT_TRUE(zip.IsZipFile());
  ASSERT_EQ(zip.Entries().Count(), kCount);
  EXPECT_EQ(zip.Entries().IndexOfName("f69999.txt"), kCount - 1);
  // One more entry rewrites the whole directory once.
  TZkZipMemorySource last("last\n");
  zip.Entries().AddStream("last.txt", 0x20, last, kMoment);
  zip.CloseArchive();
  EXPECT_EQ(ReadZip64End(archive).Entries, static_cast<std::uint64_t>(kCount + 1));

  const auto missing = test::MissingReaders();
  if (!missing.empty()) GTEST_SKIP() << "zip reader tools missing: " << missing.front();
  test::ExpectReadersTestOk(archive, kCount + 1);
  const test::CommandResult content = test::Run(
      "python3 -c \"import sys, zipfile\n"
      "z = zipfile.ZipFile(sys.argv[1])\n"
      "for i in range(70000): assert z.read('f%d.txt' % i) == b'entry %d\\n' % i, i\n"
      "assert z.read('last.txt') == b'last\\n'\" " + test::Quote(archive));
  EXPECT_EQ(content.Status, 0) << content.Output;
}

TEST(Zip64Test, AFiveGiBFileCompressesOnSeveralThreadsWithinTheMemoryBound) {
#ifdef ZK_SANITIZED_MEMORY
  GTEST_SKIP() << "resident memory is measured in the plain build";
#endif
  TempDir dir;
  const std::string archive = dir / "five.zip";
  const std::string source = dir / "five.bin";
  constexpr std::uint64_t kSize = std::uint64_t{5} << 30;
  {
    std::ofstream out(source, std::ios::binary);
  }
  std::filesystem::resize_file(source, kSize);
  // Written in a child process. It starts with the pages of this one
  // resident (those of the tests before), so what counts is its peak over
  // where it started; it exits with 5 beyond the bound.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    long sizePages = 0;
    long startPages = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
      if (std::fscanf(statm, "%ld %ld", &sizePages, &startPages) != 2) startPages = 0;
      std::fclose(statm);
    }
    const long startKiB = startPages * (sysconf(_SC_PAGESIZE) / 1024);
    try {
      TZkZip zip;
      zip.SetThreads(4);
      zip.SetStoreFolders(false);
      zip.SetCompressionType(TZipCompressionType::ctFast);
      zip.BeginArchive(archive);
      zip.PlanFiles({source});
      if (zip.AddFile(source) == nullptr) _exit(3);
      zip.CommitArchive();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", e.what());
      _exit(4);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    // ru_maxrss counts KiB.
    const long grownKiB = usage.ru_maxrss - startKiB;
    std::fprintf(stderr, "peak resident memory %ld KiB over the start\n", grownKiB);
    _exit(grownKiB <= 64 * 1024 ? 0 : 5);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0) << "3: not added, 4: an error, 5: over the memory bound";

  TZkZip zip;
  zip.OpenArchive(archive);
  ASSERT_TRUE(zip.IsZipFile());
  ASSERT_EQ(zip.Entries().Count(), 1);
  EXPECT_EQ(zip.Entries().Items(0).CentralRecord().UncompressedSize, kSize);
  zip.CloseArchive();
  EXPECT_EQ(VerifyArchiveEntries(archive), std::vector<std::string>{});
  const auto missing = test::MissingReaders();
  if (!missing.empty()) GTEST_SKIP() << "zip reader tools missing: " << missing.front();
  test::ExpectReadersTestOk(archive, 1);
}

TEST(Zip64Test, EntryOfMoreThanFourGiBFromASparseFile) {
  TempDir dir;
  const std::string archive = dir / "big.zip";
  const std::string source = dir / "big.bin";
  constexpr std::uint64_t kSize = (std::uint64_t{9} << 30) / 2;  // 4.5 GiB
  {
    std::ofstream out(source, std::ios::binary);
  }
  std::filesystem::resize_file(source, kSize);
  const std::string small = dir.Write("small.txt", "after the big one");
  {
    TZkZip zip;
    zip.CreateArchive(archive);
    zip.OpenArchive(archive);
    zip.SetStoreRelativePath(false);
    // Stored blocks: the compressed size passes 4 GiB too, and the next
    // entry's offset with it.
    zip.SetCompressionType(TZipCompressionType::ctNone);
    ASSERT_NE(zip.AddFile(source), nullptr);
    ASSERT_NE(zip.AddFile(small), nullptr);
  }
  const std::string local = ReadRange(archive, 0, 30 + 7 + 20);
  EXPECT_EQ(Le(local, 4, 2), 45u);
  EXPECT_EQ(Le(local, 18, 4), 0xFFFFFFFFu);
  EXPECT_EQ(Le(local, 22, 4), 0xFFFFFFFFu);
  EXPECT_EQ(Le(local, 28, 2), 20u);
  EXPECT_EQ(Le(local, 37, 2), 1u);
  EXPECT_EQ(Le(local, 39, 2), 16u);
  EXPECT_EQ(Le(local, 41, 8), kSize);
  const std::uint64_t compressed = Le(local, 49, 8);
  EXPECT_GT(compressed, kSize);

  const Zip64End end = ReadZip64End(archive);
  EXPECT_EQ(end.Entries, 2u);
  EXPECT_EQ(end.ClassicEntries, 2u);
  EXPECT_EQ(end.ClassicCentralOffset, 0xFFFFFFFFu);
  const std::string central = ReadRange(archive, end.CentralOffset, static_cast<std::size_t>(end.CentralSize));
  // The big entry: both sizes in its ZIP64 field, the offset classic.
  EXPECT_EQ(Le(central, 6, 2), 45u);
  EXPECT_EQ(Le(central, 20, 4), 0xFFFFFFFFu);
  EXPECT_EQ(Le(central, 24, 4), 0xFFFFFFFFu);
  EXPECT_EQ(Le(central, 30, 2), 20u);
  EXPECT_EQ(Le(central, 42, 4), 0u);
  EXPECT_EQ(Le(central, 46 + 7 + 4, 8), kSize);
  EXPECT_EQ(Le(central, 46 + 7 + 12, 8), compressed);
  // The small entry: classic sizes, only its offset in a ZIP64 field.
  const std::size_t second = 46 + 7 + 20;
  EXPECT_EQ(Le(central, second + 6, 2), 45u);
  EXPECT_EQ(Le(central, second + 24, 4), 17u);
  EXPECT_EQ(Le(central, second + 30, 2), 12u);
  EXPECT_EQ(Le(central, second + 42, 4), 0xFFFFFFFFu);
  EXPECT_EQ(Le(central, second + 46 + 9 + 4, 8), 30 + 7 + 20 + compressed);
  const std::string smallLocal = ReadRange(archive, 30 + 7 + 20 + compressed, 30);
  EXPECT_EQ(Le(smallLocal, 0, 4), 0x04034B50u);
  EXPECT_EQ(Le(smallLocal, 4, 2), 20u);
  EXPECT_EQ(Le(smallLocal, 28, 2), 0u);

  TZkZip zip;
  zip.OpenArchive(archive);
  ASSERT_TRUE(zip.IsZipFile());
  ASSERT_EQ(zip.Entries().Count(), 2);
  EXPECT_EQ(zip.Entries().Items(0).CentralRecord().UncompressedSize, kSize);
  EXPECT_EQ(zip.Entries().Items(1).CentralRecord().LocalHeaderOffset, 30 + 7 + 20 + compressed);
  zip.CloseArchive();

  const auto missing = test::MissingReaders();
  if (!missing.empty()) GTEST_SKIP() << "zip reader tools missing: " << missing.front();
  test::ExpectReadersTestOk(archive, 2);
  const test::CommandResult same =
      test::Run("bsdtar -xOf " + test::Quote(archive) + " big.bin | cmp - " + test::Quote(source) + " && bsdtar -xOf " +
                test::Quote(archive) + " small.txt | cmp - " + test::Quote(small));
  EXPECT_EQ(same.Status, 0) << same.Output;
}

}  // namespace
}  // namespace zk
