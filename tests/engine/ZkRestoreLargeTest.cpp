// A restore of an entry of more than 4 GiB (ZIP64 sizes) from a sparse
// source: streamed through the reader's window and written in full.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/ZkRestore.h"
#include "platform/ZkFileSystem.h"
#include "support/ZkTempDir.h"
#include "zip/ZkZip.h"

namespace zk::test {
namespace {

namespace fs = std::filesystem;

TEST(RestoreLarge, AnEntryOfMoreThanFourGiBComesBackWhole) {
  TempDir dir;
  constexpr std::uint64_t kSize = (std::uint64_t{9} << 30) / 2;  // 4.5 GiB
  const std::string source = dir / "src/big.bin";
  fs::create_directories(dir.Path() / "src");
  {
    std::ofstream out(source, std::ios::binary);
    out << "start";
  }
  fs::resize_file(source, kSize);
  ASSERT_TRUE(platform::SetModifiedTime(source, {1700000000, 0}));
  const std::string small = dir.Write("src/small.txt", "after the big one");
  const std::string archive = dir / "big.zip";
  {
    TZkZip zip;
    zip.CreateArchive(archive);
    zip.OpenArchive(archive);
    zip.SetCompressionType(TZipCompressionType::ctFast);
    ASSERT_NE(zip.AddFile(source), nullptr);
    ASSERT_NE(zip.AddFile(small), nullptr);
  }
  fs::remove(source);

  TZkRestore restore({archive});
  restore.TargetFolder = dir / "target";
  std::vector<std::string> errors;
  restore.OnError = [&errors](const std::string& text) { errors.push_back(text); };
  std::vector<std::size_t> all;
  for (std::size_t i = 0; i < restore.Items().size(); ++i) all.push_back(i);
  const TZkRestoreCounts counts = restore.Run(all);
  EXPECT_EQ(errors, std::vector<std::string>{});
  EXPECT_EQ(counts.Restored, 2);

  const std::string restored = dir / ("target" + source);
  ASSERT_EQ(fs::file_size(restored), kSize);
  EXPECT_EQ(platform::ReadFileInfo(restored)->Modified.Seconds, 1700000000);
  std::ifstream in(restored, std::ios::binary);
  std::string head(5, '\0');
  in.read(head.data(), 5);
  EXPECT_EQ(head, "start");
  in.seekg(static_cast<std::streamoff>(kSize - 4));
  std::string tail(4, '\x55');
  in.read(tail.data(), 4);
  EXPECT_EQ(tail, std::string(4, '\0'));
  EXPECT_EQ(TempDir::Read(dir / ("target" + small)), "after the big one");
}

}  // namespace
}  // namespace zk::test
