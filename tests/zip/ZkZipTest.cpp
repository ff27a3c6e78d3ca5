#include "zip/ZkZip.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "base/ZkDateTime.h"
#include "platform/ZkAtomicFile.h"
#include "platform/ZkFileSystem.h"
#include "support/ZkFileSizeLimit.h"
#include "support/ZkSanitizedMemory.h"
#include "zip/ZkZipTestSupport.h"

namespace zk {
namespace {

using test::Crc;
using test::ParseZip;
using test::RandomBytes;
using test::TempDir;
using test::TextBytes;

const TDateTime kMoment = EncodeDateTime(2024, 1, 5, 9, 7, 32, 0);
constexpr std::uint16_t kDosTime = 9 * 2048 + 7 * 32 + 16;
constexpr std::uint16_t kDosDate = (2024 - 1980) * 512 + 1 * 32 + 5;

class ZipTest : public ::testing::Test {
protected:
  void SetUp() override {
    archive = dir / "a.zip";
    zip.SetSaveDriveName(true);
    zip.OnZipChange = [this](TZkZip&, int type) { changes.push_back(type); };
  }
  void Create() {
    zip.CreateArchive(archive);
    zip.OpenArchive(archive);
    ASSERT_TRUE(zip.IsZipFile());
    changes.clear();
  }
  TZkZipEntriesEntry* AddText(const std::string& name, const std::string& content, TDateTime when = kMoment) {
    TZkZipMemorySource source(content);
    return zip.Entries().AddStream(name, platform::faArchive, source, when);
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (int i = 0; i < zip.Entries().Count(); ++i) names.push_back(zip.Entries().Items(i).Name());
    return names;
  }

  TempDir dir;
  std::string archive;
  TZkZip zip;
  std::vector<int> changes;
};

TEST_F(ZipTest, CreatedArchiveIsTheEmptyEndRecordAndOpens) {
  zip.CreateArchive(archive);
  EXPECT_EQ(TempDir::Read(archive), std::string("PK\x05\x06", 4) + std::string(18, '\0'));
  zip.OpenArchive(archive);
  EXPECT_TRUE(zip.IsZipFile());
  EXPECT_TRUE(zip.Active());
  EXPECT_EQ(zip.Entries().Count(), 0);
  EXPECT_EQ(changes, (std::vector<int>{0, 1}));
  zip.CloseArchive();
  EXPECT_FALSE(zip.IsZipFile());
}

TEST_F(ZipTest, FilesThatAreNoArchiveLeaveItClosed) {
  for (const std::string& content : {std::string(), std::string(21, 'x'), std::string("PK\x05\x06", 4) + "short",
                                     TextBytes(5000, 1)}) {
    dir.Write("no.zip", content);
    zip.OpenArchive(dir / "no.zip");
    EXPECT_FALSE(zip.IsZipFile()) << content.size();
  }
  EXPECT_EQ(changes.back(), 1);
  EXPECT_EQ(changes[changes.size() - 2], 0);
}

TEST_F(ZipTest, MissingArchiveReportsItsName) {
  try {
    zip.OpenArchive(dir / "none.zip");
    FAIL() << "no error";
  } catch (const EZkFileOpenError& e) {
    EXPECT_EQ(std::string(e.what()), "File \"" + (dir / "none.zip") + "\" not found!");
  }
  EXPECT_FALSE(zip.IsZipFile());
}

TEST_F(ZipTest, ActiveFollowsFileNameOnlyWhenSet) {
  zip.SetActive(true);
  EXPECT_FALSE(zip.Active());
  EXPECT_TRUE(changes.empty());
  zip.CreateArchive(archive);
  zip.SetFileName(archive);
  zip.SetActive(true);
  EXPECT_TRUE(zip.Active());
  zip.SetActive(false);
  EXPECT_FALSE(zip.Active());
}

TEST_F(ZipTest, PropertyDefaults) {
  TZkZip fresh;
  EXPECT_EQ(fresh.SaveMethod(), TZipSaveMethod::FastSave);
  EXPECT_TRUE(fresh.StoreRelativePath());
  EXPECT_TRUE(fresh.StoreFolders());
  EXPECT_EQ(fresh.CompressionType(), TZipCompressionType::ctMaximum);
  EXPECT_FALSE(fresh.UseTempFiles());
  EXPECT_EQ(fresh.OverwriteAction(), TOverwriteAction::oaSkip);
  EXPECT_EQ(fresh.ComponentVersion(), "2.0");
  EXPECT_FALSE(fresh.ReadOnly());
  EXPECT_TRUE(fresh.ApplyAtributes());
  EXPECT_FALSE(fresh.SaveDriveName());
  fresh.SetCompressionType(TZipCompressionType::ctUnknown);
  EXPECT_EQ(fresh.CompressionType(), TZipCompressionType::ctNormal);
}

TEST_F(ZipTest, ClassicHeaderFieldsOfAnAddedFile) {
  Create();
  const std::string content = TextBytes(100000, 3);
  zip.SetStoreFolders(false);
  AddText("/C/Data/a.txt", content);
  const test::ParsedZip parsed = ParseZip(archive);
  ASSERT_EQ(parsed.Central.size(), 1u);
  const test::ParsedCentral& c = parsed.Central[0];
  EXPECT_EQ(c.VersionMadeBy, 20u);
  EXPECT_EQ(c.VersionNeeded, 20u);
  EXPECT_EQ(c.Flags, 0u);
  EXPECT_EQ(c.Method, 8u);
  EXPECT_EQ(c.Time, kDosTime);
  EXPECT_EQ(c.Date, kDosDate);
  EXPECT_EQ(c.Crc, Crc(content));
  EXPECT_EQ(c.UncompressedSize, content.size());
  EXPECT_LT(c.CompressedSize, content.size());
  EXPECT_EQ(c.Name, "C/Data/a.txt");
  EXPECT_EQ(c.ExtraLength, 0u);
  EXPECT_EQ(c.CommentLength, 0u);
  EXPECT_EQ(c.DiskStart, 0u);
  EXPECT_EQ(c.InternalAttributes, 0u);
  EXPECT_EQ(c.ExternalAttributes, static_cast<std::uint64_t>(platform::faArchive));
  EXPECT_EQ(c.Offset, 0u);
  const test::ParsedLocal l = parsed.Local(0);
  EXPECT_EQ(l.Signature, 0x04034B50u);
  EXPECT_EQ(l.VersionNeeded, 20u);
  EXPECT_EQ(l.Flags, 0u);
  EXPECT_EQ(l.Method, 8u);
  EXPECT_EQ(l.Time, kDosTime);
  EXPECT_EQ(l.Date, kDosDate);
  EXPECT_EQ(l.Crc, c.Crc);
  EXPECT_EQ(l.CompressedSize, c.CompressedSize);
  EXPECT_EQ(l.UncompressedSize, c.UncompressedSize);
  EXPECT_EQ(l.ExtraLength, 0u);
  EXPECT_EQ(parsed.CentralOffset, 30 + 12 + c.CompressedSize);
  EXPECT_EQ(parsed.Data(c), content);
  EXPECT_EQ(parsed.Bytes.size(), parsed.CentralOffset + 46 + 12 + 22);
}

TEST_F(ZipTest, EmptyDataIsStoredAndCtNoneStillDeflates) {
  Create();
  zip.SetCompressionType(TZipCompressionType::ctNone);
  AddText("empty.txt", "");
  const std::string random = RandomBytes(70000, 5);
  AddText("random.bin", random);
  const test::ParsedZip parsed = ParseZip(archive);
  ASSERT_EQ(parsed.Central.size(), 2u);
  EXPECT_EQ(parsed.Central[0].Method, 0u);
  EXPECT_EQ(parsed.Central[0].Crc, 0u);
  EXPECT_EQ(parsed.Central[0].CompressedSize, 0u);
  EXPECT_EQ(parsed.Central[0].UncompressedSize, 0u);
  EXPECT_EQ(parsed.Central[1].Method, 8u);
  // Stored deflate blocks: 5 bytes of block header per block.
  EXPECT_GT(parsed.Central[1].CompressedSize, random.size());
  EXPECT_LT(parsed.Central[1].CompressedSize, random.size() + 64);
  EXPECT_EQ(parsed.Data(parsed.Central[1]), random);
  EXPECT_EQ(zip.Entries().Items(1).Compression(), TZipCompressionType::ctNormal);
  EXPECT_EQ(zip.Entries().Items(0).Compression(), TZipCompressionType::ctUnknown);
}

// Data that does not compress goes into stored blocks without a search for
// matches; data that compresses after an incompressible start, or only
// across a few KiB, is still compressed.
TEST_F(ZipTest, IncompressibleDataIsStoredAndCompressibleDataAfterItIsNot) {
  Create();
  zip.SetCompressionType(TZipCompressionType::ctMaximum);
  const std::string random = RandomBytes(std::size_t{5} << 20, 6);
  const std::string mixed = RandomBytes(100000, 7) + TextBytes(std::size_t{5} << 20, 8);
  const std::string text = TextBytes(std::size_t{5} << 20, 9);
  // Random blocks that repeat 20 KiB apart: no piece of a few KiB shrinks,
  // the deflate window does.
  const std::string block = RandomBytes(16 << 10, 10);
  std::string repeated;
  for (unsigned i = 0; i < 64; ++i) repeated += block + RandomBytes(4096, 11 + i);
  AddText("random.bin", random);
  AddText("mixed.bin", mixed);
  AddText("text.txt", text);
  AddText("repeated.bin", repeated);
  const test::ParsedZip parsed = ParseZip(archive);
  ASSERT_EQ(parsed.Central.size(), 4u);
  const std::string* sources[] = {&random, &mixed, &text, &repeated};
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(parsed.Data(parsed.Central[i]), *sources[i]) << i;
  EXPECT_LT(parsed.Central[3].CompressedSize, repeated.size() / 3);
  // Stored blocks: five bytes of header per block of up to 64 KiB, and the
  // empty stored block that ends each chunk but the last; no larger than
  // zlib's best.
  uLongf zlibSize = compressBound(static_cast<uLong>(random.size()));
  std::string zlibData(zlibSize, '\0');
  ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(zlibData.data()), &zlibSize,
                      reinterpret_cast<const Bytef*>(random.data()), static_cast<uLong>(random.size()), 9),
            Z_OK);
  EXPECT_LE(parsed.Central[0].CompressedSize, zlibSize - 6);  // zlib's header and Adler-32
  EXPECT_LT(parsed.Central[0].CompressedSize, random.size() + random.size() / 65535 * 5 + 64);
  // The text after the random start compresses as the text alone does.
  EXPECT_LT(parsed.Central[1].CompressedSize, parsed.Central[2].CompressedSize + 100000 + 4096);
}

TEST_F(ZipTest, FolderEntriesComeBeforeTheFirstFileOfTheirFolder) {
  Create();
  AddText("/C/Data/Sub/a.txt", "a");
  AddText("/C/Data/Sub/b.txt", "b");
  EXPECT_EQ(Names(), (std::vector<std::string>{"C/", "C/Data/", "C/Data/Sub/", "C/Data/Sub/a.txt", "C/Data/Sub/b.txt"}));
  const test::ParsedZip parsed = ParseZip(archive);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(parsed.Central[i].Method, 0u);
    EXPECT_EQ(parsed.Central[i].ExternalAttributes, 0x10u);
    EXPECT_TRUE(zip.Entries().Items(i).IsDirectory());
  }
  EXPECT_EQ(changes, (std::vector<int>{2, 2, 2, 2, 2}));
}

TEST_F(ZipTest, WithoutRelativePathOnlyTheFileNameIsStored) {
  Create();
  zip.SetStoreRelativePath(false);
  AddText("/C/Data/a.txt", "a");
  EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt"}));
}

TEST_F(ZipTest, ReplacingKeepsOneEntryAtTheEnd) {
  Create();
  AddText("/Számla/Év.txt", "first");
  AddText("/Számla/other.txt", "other");
  changes.clear();
  std::vector<std::string> added;
  zip.OnAddItem = [&](TZkZip&, const std::string& name) { added.push_back(name); };
  AddText("/Számla/Év.txt", "second");
  EXPECT_EQ(Names(), (std::vector<std::string>{"Számla/", "Számla/other.txt", "Számla/Év.txt"}));
  EXPECT_EQ(changes, (std::vector<int>{2}));
  EXPECT_EQ(added, (std::vector<std::string>{"/Számla/Év.txt"}));
  const test::ParsedZip parsed = ParseZip(archive);
  EXPECT_EQ(parsed.Data(parsed.Central[2]), "second");
  EXPECT_EQ(parsed.Data(parsed.Central[1]), "other");
}

// Posix file names differ in the case of their letters; each file keeps its
// own entry, also across a reopen.
TEST_F(ZipTest, NamesDifferingInCaseAreTwoEntries) {
  Create();
  const std::string lower = dir.Write("src/a.txt", "lower");
  const std::string upper = dir.Write("src/A.txt", "upper");
  ASSERT_NE(zip.AddFile(lower), nullptr);
  EXPECT_TRUE(zip.IsNewFile(upper));
  EXPECT_FALSE(zip.IsChangedFile(upper));
  ASSERT_NE(zip.AddFile(upper), nullptr);
  ASSERT_NE(zip.AddFile(lower), nullptr);  // replaces its own entry only
  for (const bool reopen : {false, true}) {
    SCOPED_TRACE(reopen);
    if (reopen) zip.OpenArchive(archive);
    const int a = zip.Entries().IndexOfName(lower);
    const int b = zip.Entries().IndexOfName(upper);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(zip.Entries().Items(a).Name(), ToZipName(lower, true));
    EXPECT_EQ(zip.Entries().Items(b).Name(), ToZipName(upper, true));
    EXPECT_EQ(zip.Entries().IndexOfName(dir / "src/A.TXT"), -1);
    EXPECT_FALSE(zip.NeedsUpdate(upper));
  }
  const test::ParsedZip parsed = ParseZip(archive);
  ASSERT_EQ(parsed.Central.size(), zip.Entries().Count() + 0u);
  EXPECT_EQ(parsed.Data(parsed.Central.back()), "lower");
  EXPECT_EQ(parsed.Data(parsed.Central[parsed.Central.size() - 2]), "upper");
}

TEST_F(ZipTest, NameThatIsNotUtf8IsStoredAsItsBytesAndFoundAgain) {
  Create();
  zip.SetStoreFolders(false);
  const std::string name = "/L/caf\xe9.txt";
  AddText(name, "latin-1");
  const test::ParsedZip parsed = ParseZip(archive);
  ASSERT_EQ(parsed.Central.size(), 1u);
  EXPECT_EQ(parsed.Central[0].Name, "L/caf\xe9.txt");
  EXPECT_EQ(parsed.Central[0].Flags, 0u);
  EXPECT_EQ(parsed.Local(0).Flags, 0u);
  EXPECT_EQ(parsed.Local(0).Name, "L/caf\xe9.txt");
  zip.OpenArchive(archive);
  EXPECT_EQ(zip.Entries().IndexOfName(name), 0);
  AddText(name, "replaced");
  EXPECT_EQ(zip.Entries().Count(), 1);
  EXPECT_EQ(ParseZip(archive).Data(ParseZip(archive).Central[0]), "replaced");
}

TEST_F(ZipTest, DeletingInPlaceKeepsTheOtherEntriesBytes) {
  Create();
  zip.SetStoreFolders(false);
  const std::string a = TextBytes(3000, 1), b = TextBytes(5000, 2), c = RandomBytes(4000, 3);
  AddText("a.txt", a);
  AddText("b.txt", b);
  AddText("c.bin", c);
  const test::ParsedZip before = ParseZip(archive);
  const auto localBytes = [](const test::ParsedZip& z, std::size_t i) {
    const auto& e = z.Central[i];
    return z.Bytes.substr(e.Offset, 30 + e.NameLength + e.CompressedSize);
  };
  changes.clear();
  zip.Entries().DeleteEntry(1);
  EXPECT_EQ(changes, (std::vector<int>{3}));
  const test::ParsedZip after = ParseZip(archive);
  ASSERT_EQ(after.Central.size(), 2u);
  EXPECT_EQ(localBytes(after, 0), localBytes(before, 0));
  EXPECT_EQ(localBytes(after, 1), localBytes(before, 2));
  EXPECT_EQ(after.Central[1].Offset, before.Central[1].Offset);
  EXPECT_EQ(after.Data(after.Central[1]), c);
  zip.OpenArchive(archive);
  EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "c.bin"}));
}

TEST_F(ZipTest, DeletingTheOnlyEntryLeavesTheEndRecordAndComment) {
  for (const bool rebuild : {false, true}) {
    SCOPED_TRACE(rebuild);
    Create();
    zip.SetSaveMethod(rebuild ? TZipSaveMethod::RebuildAll : TZipSaveMethod::FastSave);
    zip.SetStoreFolders(false);
    zip.SetComment({"megjegyzés"});
    AddText("a.txt", "content");
    zip.Entries().DeleteEntry(0);
    EXPECT_EQ(std::filesystem::file_size(archive), 22u + std::string("megjegyzés\r\n").size());
    zip.OpenArchive(archive);
    EXPECT_EQ(zip.Comment(), (std::vector<std::string>{"megjegyzés"}));
  }
}

TEST_F(ZipTest, CommentIsKeptByAddsAndALongestCommentIsFound) {
  Create();
  const std::string longLine(65533, 'c');
  zip.SetComment({longLine});
  TZkZip other;
  other.OpenArchive(archive);
  ASSERT_TRUE(other.IsZipFile());
  EXPECT_EQ(other.Comment(), (std::vector<std::string>{longLine}));
  // Adding through a component that never read the comment keeps it.
  TZkZipMemorySource source("x");
  other.Entries().AddStream("x.txt", 0x20, source, kMoment);
  other.CloseArchive();
  zip.OpenArchive(archive);
  EXPECT_EQ(zip.Entries().Count(), 1);
  EXPECT_EQ(zip.Comment(), (std::vector<std::string>{longLine}));
  EXPECT_THROW(zip.SetComment({std::string(65535, 'c')}), EZkError);
  zip.CloseArchive();
  zip.SetComment({"a"});
  EXPECT_TRUE(zip.Comment().empty());
}

TEST_F(ZipTest, CutArchiveOpensByTheWalkAndTheNextAddLandsWhereItStopped) {
  Create();
  zip.SetStoreFolders(false);
  AddText("a.txt", TextBytes(2000, 1));
  AddText("b.txt", TextBytes(3000, 2));
  const std::uint64_t cut = ParseZip(archive).CentralOffset;
  zip.CloseArchive();
  std::filesystem::resize_file(archive, cut);
  zip.OpenArchive(archive);
  ASSERT_TRUE(zip.IsZipFile());
  EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "b.txt"}));
  AddText("c.txt", "c");
  const test::ParsedZip parsed = ParseZip(archive);
  ASSERT_EQ(parsed.Central.size(), 3u);
  EXPECT_EQ(parsed.Central[2].Offset, cut);
  EXPECT_EQ(parsed.Data(parsed.Central[1]), TextBytes(3000, 2));
}

TEST_F(ZipTest, IndexOfNameFindsCp852AndUtf8NamesAfterReopening) {
  Create();
  zip.SetStoreFolders(false);
  AddText("/DATA/Árvíz.TXT", "1");
  AddText("/data/€uro.txt", "2");
  const test::ParsedZip parsed = ParseZip(archive);
  EXPECT_EQ(parsed.Central[0].Flags, 0u);
  EXPECT_EQ(parsed.Central[0].Name, std::string("DATA/\xB5rv\xA1z.TXT"));
  EXPECT_EQ(parsed.Central[0].VersionMadeBy, 20u);
  EXPECT_EQ(parsed.Central[1].Flags, 0x800u);
  EXPECT_EQ(parsed.Central[1].VersionMadeBy, 0x0B14u);
  EXPECT_EQ(parsed.Local(parsed.Central[1].Offset).Flags, 0x800u);
  zip.OpenArchive(archive);
  EXPECT_EQ(zip.Entries().IndexOfName("/DATA/Árvíz.TXT"), 0);
  EXPECT_EQ(zip.Entries().IndexOfName("/data/€uro.txt"), 1);
  EXPECT_EQ(zip.Entries().IndexOfName("/DATA/árvíz.TXT"), -1);
  EXPECT_EQ(zip.FileNames(), (std::vector<std::string>{"DATA/Árvíz.TXT", "data/€uro.txt"}));
}

TEST_F(ZipTest, RebuildingGivesTheSameEntriesInMemoryAndThroughATempFile) {
  for (const bool temp : {false, true}) {
    SCOPED_TRACE(temp);
    Create();
    zip.SetSaveMethod(TZipSaveMethod::RebuildAll);
    zip.SetUseTempFiles(temp);
    int rebuildEnds = 0;
    zip.OnRebuildZip = [&](TZkZip&, std::int64_t current, std::int64_t total) {
      rebuildEnds += current == 100 && total == 100;
    };
    AddText("/r/a.txt", TextBytes(4000, 1));
    AddText("/r/b.bin", RandomBytes(3000, 2));
    AddText("/r/a.txt", "replaced");
    zip.Entries().DeleteEntry(zip.Entries().IndexOfName("/r/b.bin"));
    EXPECT_EQ(Names(), (std::vector<std::string>{"r/", "r/a.txt"}));
    EXPECT_GE(rebuildEnds, 4);
    const test::ParsedZip parsed = ParseZip(archive);
    ASSERT_EQ(parsed.Central.size(), 2u);
    EXPECT_EQ(parsed.Data(parsed.Central[1]), "replaced");
    EXPECT_EQ(parsed.Central[1].Offset, 30 + 2u);
  }
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::temp_directory_path()))
    EXPECT_NE(entry.path().filename().string().rfind("zkzip-", 0), 0u) << entry.path();
}

TEST_F(ZipTest, CompressProgressEvery64KiBOfOutputOnly) {
  Create();
  std::vector<std::pair<std::int64_t, std::int64_t>> progress;
  zip.OnCompressFile = [&](TZkZip&, std::int64_t current, std::int64_t total) { progress.emplace_back(current, total); };
  AddText("small.txt", TextBytes(200000, 1));
  EXPECT_TRUE(progress.empty());
  const std::string random = RandomBytes(300000, 2);
  AddText("random.bin", random);
  ASSERT_EQ(progress.size(), 4u);  // 300,000 incompressible bytes give four full blocks of output
  for (std::size_t i = 0; i < progress.size(); ++i) {
    EXPECT_EQ(progress[i].second, 300000);
    EXPECT_LE(progress[i].first, 300000);
    if (i > 0) {
      EXPECT_GE(progress[i].first, progress[i - 1].first);
    }
  }
}

TEST_F(ZipTest, ChangedFileQueriesUseTheDosTime) {
  Create();
  const std::string file = dir.Write("src/a.txt", "data");
  EXPECT_TRUE(zip.IsNewFile(file));
  EXPECT_TRUE(zip.NeedsUpdate(file));
  EXPECT_FALSE(zip.IsChangedFile(file));
  ASSERT_NE(zip.AddFile(file), nullptr);
  EXPECT_FALSE(zip.IsNewFile(file));
  EXPECT_FALSE(zip.IsChangedFile(file));
  EXPECT_FALSE(zip.NeedsUpdate(file));
  const auto info = platform::ReadFileInfo(file);
  ASSERT_TRUE(info);
  ASSERT_TRUE(platform::SetModifiedTime(file, {info->Modified.Seconds + 2, info->Modified.Nanoseconds}));
  EXPECT_TRUE(zip.IsChangedFile(file));
  EXPECT_TRUE(zip.NeedsUpdate(file));
  std::filesystem::remove(file);
  EXPECT_THROW(zip.IsChangedFile(file), EZkConvertError);
  EXPECT_EQ(zip.AddFile(file), nullptr);
}

// A source that announces more than it delivers, like a file that shrinks
// while it is read.
class ShrinkingSource : public TZkZipSource {
public:
  ShrinkingSource(std::string data, std::int64_t announced) : data_(std::move(data)), announced_(announced) {}
  std::int64_t Size() override { return announced_; }
  std::size_t Read(char* buffer, std::size_t size) override { return inner_.Read(buffer, size); }

private:
  std::string data_;
  std::int64_t announced_;
  TZkZipMemorySource inner_{data_};
};

TEST_F(ZipTest, ShortSourceStoresOnlyWhatWasRead) {
  Create();
  zip.SetStoreFolders(false);
  const std::string data = TextBytes(300000, 4);
  ShrinkingSource source(data, 1000000);
  zip.Entries().AddStream("short.txt", 0x20, source, kMoment);
  ShrinkingSource nothing("", 5000);
  zip.Entries().AddStream("gone.txt", 0x20, nothing, kMoment);
  const test::ParsedZip parsed = ParseZip(archive);
  EXPECT_EQ(parsed.Central[0].UncompressedSize, data.size());
  EXPECT_EQ(parsed.Central[0].Crc, Crc(data));
  EXPECT_EQ(parsed.Data(parsed.Central[0]), data);
  EXPECT_EQ(parsed.Central[1].Method, 0u);
  EXPECT_EQ(parsed.Central[1].CompressedSize, 0u);
  EXPECT_EQ(parsed.Central[1].Offset, parsed.Central[0].Offset + 30 + 9 + parsed.Central[0].CompressedSize);
}

TEST_F(ZipTest, StopFromTheProgressHandlerLeavesThePreviousEntries) {
  Create();
  AddText("/keep/a.txt", TextBytes(5000, 1));
  zip.SetComment({"kept"});
  const std::string before = TempDir::Read(archive);
  zip.OnCompressFile = [](TZkZip&, std::int64_t, std::int64_t) { throw EZkError("stop"); };
  EXPECT_THROW(AddText("/keep/big.bin", RandomBytes(500000, 2)), EZkError);
  EXPECT_EQ(Names(), (std::vector<std::string>{"keep/", "keep/a.txt"}));
  EXPECT_EQ(TempDir::Read(archive), before);
  TZkZip reopened;
  reopened.OpenArchive(archive);
  EXPECT_EQ(reopened.Entries().Count(), 2);
  EXPECT_EQ(reopened.Comment(), (std::vector<std::string>{"kept"}));
}

TEST_F(ZipTest, FullDiskLeavesThePreviousEntries) {
  Create();
  zip.SetStoreFolders(false);
  AddText("a.txt", TextBytes(5000, 1));
  const std::string before = TempDir::Read(archive);
  {
    test::TFileSizeLimit limit(before.size() + 100000);
    EXPECT_THROW(AddText("big.bin", RandomBytes(400000, 2)), EZkFileWriteError);
  }
  EXPECT_EQ(TempDir::Read(archive), before);
  AddText("after.txt", "after");
  zip.OpenArchive(archive);
  EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "after.txt"}));
}

TEST_F(ZipTest, ReadOnlyArchiveRefusesChangesAndStaysAsItWas) {
  Create();
  zip.SetStoreFolders(false);
  AddText("a.txt", "a");
  zip.CloseArchive();
  const std::string before = TempDir::Read(archive);
  std::filesystem::permissions(archive, std::filesystem::perms::owner_write, std::filesystem::perm_options::remove);
  zip.OpenArchive(archive);
  EXPECT_TRUE(zip.ReadOnly());
  EXPECT_THROW(AddText("b.txt", "b"), EZkFileWriteError);
  EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt"}));
  // A delete writes a new file and renames it, which the folder would allow.
  EXPECT_THROW(zip.Entries().DeleteEntry(0), EZkFileWriteError);
  EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt"}));
  zip.CloseArchive();
  EXPECT_EQ(TempDir::Read(archive), before);
}

TEST_F(ZipTest, FailedDeleteOrReplaceKeepsTheArchiveAndItsDirectory) {
  Create();
  zip.SetStoreFolders(false);
  for (int i = 0; i < 4; ++i) AddText("f" + std::to_string(i) + ".bin", RandomBytes(100000, i));
  const std::vector<std::string> names = Names();
  const std::string before = TempDir::Read(archive);
  {
    // Room for half the archive: a delete that moved the entries down in
    // the file would stop halfway.
    test::TFileSizeLimit limit(before.size() / 2);
    EXPECT_THROW(zip.Entries().DeleteEntry(0), EZkFileWriteError);
    EXPECT_EQ(Names(), names);
    EXPECT_THROW(AddText("f1.bin", "replacement"), EZkFileWriteError);
    EXPECT_EQ(Names(), names);
  }
  EXPECT_TRUE(TempDir::Read(archive) == before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
  // The component goes on with the archive as it is.
  zip.Entries().DeleteEntry(0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"f1.bin", "f2.bin", "f3.bin"}));
  EXPECT_EQ(ParseZip(archive).Data(ParseZip(archive).Central[2]), RandomBytes(100000, 3));
}

TEST_F(ZipTest, BatchedAddsWriteTheDirectoryOnceAtTheEnd) {
  Create();
  zip.SetStoreFolders(false);
  zip.BeginUpdate();
  for (int i = 0; i < 50; ++i) AddText("f" + std::to_string(i) + ".txt", TextBytes(100 + i, i));
  // Meanwhile the file holds the local entries; a reopen finds them all.
  TZkZip meanwhile;
  meanwhile.OpenArchive(archive);
  EXPECT_EQ(meanwhile.Entries().Count(), 50);
  meanwhile.CloseArchive();
  zip.EndUpdate();
  const test::ParsedZip parsed = ParseZip(archive);
  ASSERT_EQ(parsed.Central.size(), 50u);
  EXPECT_EQ(parsed.Data(parsed.Central[49]), TextBytes(149, 49));
}

TEST_F(ZipTest, MemoryDoesNotGrowWithTheFileSize) {
#ifdef ZK_SANITIZED_MEMORY
  GTEST_SKIP() << "resident memory is measured in the plain build";
#endif
  Create();
  zip.SetCompressionType(TZipCompressionType::ctFast);
  const std::string big = dir / "sparse.bin";
  {
    std::ofstream out(big, std::ios::binary);
  }
  std::filesystem::resize_file(big, std::uint64_t{256} << 20);
  struct rusage before{};
  getrusage(RUSAGE_SELF, &before);
  ASSERT_NE(zip.AddFile(big), nullptr);
  struct rusage after{};
  getrusage(RUSAGE_SELF, &after);
  // ru_maxrss counts KiB; reading the file whole would add 256 MiB.
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 32 * 1024);
  EXPECT_EQ(zip.Entries().Items(zip.Entries().Count() - 1).CentralRecord().UncompressedSize, std::uint64_t{256} << 20);
}

// ---------------------------------------------------------------- foreign archives

// A local entry and its central record written by hand, as other programs do.
struct ForeignEntry {
  std::string Name;
  std::string Data;           // stored (method 0)
  std::uint16_t Flags = 0;
  std::uint16_t Date = kDosDate;
  std::uint16_t Time = kDosTime;
  std::string LocalExtra;
  std::string CentralExtra;
  bool Descriptor = false;    // sizes in a signed data descriptor after the data
};

std::string Le16(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}; }
std::string Le32(std::uint32_t v) { return Le16(v & 0xFFFF) + Le16(v >> 16); }

std::string ForeignArchive(const std::vector<ForeignEntry>& entries) {
  std::string locals, central;
  for (const ForeignEntry& e : entries) {
    const std::uint32_t offset = static_cast<std::uint32_t>(locals.size());
    const std::uint32_t crc = Crc(e.Data);
    const std::uint32_t size = static_cast<std::uint32_t>(e.Data.size());
    locals += Le32(0x04034B50) + Le16(20) + Le16(e.Flags) + Le16(0) + Le16(e.Time) + Le16(e.Date) +
              Le32(e.Descriptor ? 0 : crc) + Le32(e.Descriptor ? 0 : size) + Le32(e.Descriptor ? 0 : size) +
              Le16(static_cast<unsigned>(e.Name.size())) + Le16(static_cast<unsigned>(e.LocalExtra.size())) + e.Name +
              e.LocalExtra + e.Data;
    if (e.Descriptor) locals += Le32(0x08074B50) + Le32(crc) + Le32(size) + Le32(size);
    central += Le32(0x02014B50) + Le16(0x031E) + Le16(20) + Le16(e.Flags) + Le16(0) + Le16(e.Time) + Le16(e.Date) +
               Le32(crc) + Le32(size) + Le32(size) + Le16(static_cast<unsigned>(e.Name.size())) +
               Le16(static_cast<unsigned>(e.CentralExtra.size())) + Le16(0) + Le16(0) + Le16(0) + Le32(0x81A40000) +
               Le32(offset) + e.Name + e.CentralExtra;
  }
  return locals + central + Le32(0x06054B50) + Le16(0) + Le16(0) + Le16(static_cast<unsigned>(entries.size())) +
         Le16(static_cast<unsigned>(entries.size())) + Le32(static_cast<std::uint32_t>(central.size())) +
         Le32(static_cast<std::uint32_t>(locals.size())) + Le16(0);
}

std::vector<ForeignEntry> OddForeignEntries() {
  // A timestamp field in the local header only, and a different one in both.
  const std::string localTime = Le16(0x5455) + Le16(5) + std::string("\x01\x00\x00\x00\x60", 5);
  const std::string centralTime = Le16(0x5455) + Le16(1) + std::string("\x01", 1);
  ForeignEntry badDate{"bad-date.txt", "date", 0, 0x7FFF, 0xFFFF, "", "", false};
  ForeignEntry descriptor{"descriptor.txt", "described data", 0x0008, kDosDate, kDosTime, "", "", true};
  ForeignEntry extras{"extras.txt", "extra fields", 0, kDosDate, kDosTime, localTime, centralTime, false};
  return {badDate, descriptor, extras};
}

TEST_F(ZipTest, ForeignArchivesWithOddEntriesOpenAndTakeChanges) {
  for (const bool rebuild : {false, true}) {
    SCOPED_TRACE(rebuild);
    dir.Write("a.zip", ForeignArchive(OddForeignEntries()));
    zip.SetSaveMethod(rebuild ? TZipSaveMethod::RebuildAll : TZipSaveMethod::FastSave);
    zip.SetStoreFolders(false);
    zip.OpenArchive(archive);
    ASSERT_TRUE(zip.IsZipFile());
    EXPECT_EQ(Names(), (std::vector<std::string>{"bad-date.txt", "descriptor.txt", "extras.txt"}));
    EXPECT_EQ(zip.Entries().Items(0).DateTime(), 0);
    EXPECT_EQ(zip.Entries().Items(1).LocalEntrySize(), 30u + 14 + 14 + 16);
    EXPECT_EQ(zip.Entries().Items(2).LocalEntrySize(), 30u + 10 + 9 + 12);
    zip.Entries().DeleteEntry(0);
    AddText("new.txt", "new");
    const test::ParsedZip parsed = ParseZip(archive);
    ASSERT_EQ(parsed.Central.size(), 3u);
    EXPECT_EQ(parsed.Data(parsed.Central[0]), "described data");
    EXPECT_EQ(parsed.Data(parsed.Central[1]), "extra fields");
    EXPECT_EQ(parsed.Central[1].Extra, Le16(0x5455) + Le16(1) + std::string("\x01", 1));
    EXPECT_EQ(parsed.Data(parsed.Central[2]), "new");
  }
}


// ---------------------------------------------------------------- walk after a crash

// A local entry alone, as a crash leaves it before the directory is written.
std::string LocalEntry(unsigned version, unsigned flags, unsigned method, const std::string& name,
                       const std::string& extra, const std::string& data) {
  const std::uint32_t crc = data.empty() ? 0 : Crc(data);
  const auto size = static_cast<std::uint32_t>(data.size());
  return Le32(0x04034B50) + Le16(version) + Le16(flags) + Le16(method) + Le16(kDosTime) + Le16(kDosDate) + Le32(crc) +
         Le32(size) + Le32(size) + Le16(static_cast<unsigned>(name.size())) +
         Le16(static_cast<unsigned>(extra.size())) + name + extra + data;
}

TEST_F(ZipTest, TheWalkTakesOnlyEntriesAsThisWriterMakesThem) {
  const std::string deflated = "\x4b\x4c\x4a\x06\x00";  // "abc" as raw deflate
  const std::string ours = LocalEntry(20, 0, 8, "ours.txt", "", deflated);
  const std::string timestamp = Le16(0x5455) + Le16(5) + std::string("\x01\x00\x00\x00\x60", 5);
  struct Case {
    const char* What;
    std::string Bytes;
    bool Opens;
  } cases[] = {
      {"deflated", ours, true},
      {"UTF-8 name", LocalEntry(20, 0x0800, 8, "€.txt", "", deflated), true},
      {"empty and stored", LocalEntry(20, 0, 0, "empty.txt", "", ""), true},
      {"version 10", LocalEntry(10, 0, 8, "old.txt", "", deflated), false},
      {"data descriptor", LocalEntry(20, 0x0008, 8, "stream.txt", "", deflated), false},
      {"level flags", LocalEntry(20, 0x0002, 8, "max.txt", "", deflated), false},
      {"extra field", LocalEntry(20, 0, 8, "stamped.txt", timestamp, deflated), false},
      {"Unicode Path field of its name",
       LocalEntry(20, 0, 8, "\xB5rv.txt", zipformat::EncodeUnicodePathExtra("\xB5rv.txt", "Árv.txt"), deflated), true},
      {"Unicode Path field of another name",
       LocalEntry(20, 0, 8, "\xB5rv.txt", zipformat::EncodeUnicodePathExtra("other", "Árv.txt"), deflated), false},
      {"stored data", LocalEntry(20, 0, 0, "stored.txt", "", "stored"), false},
      {"ours, then another program's", ours + LocalEntry(20, 0x0008, 8, "stream.txt", "", deflated), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    dir.Write("a.zip", c.Bytes);
    zip.OpenArchive(archive);
    EXPECT_EQ(zip.IsZipFile(), c.Opens);
    zip.CloseArchive();
    EXPECT_TRUE(TempDir::Read(archive) == c.Bytes);
  }
}

TEST_F(ZipTest, ForeignArchiveWhoseDirectoryIsLostIsNotWrittenTo) {
  const std::string whole = ForeignArchive(OddForeignEntries());
  const std::string cut = whole.substr(0, whole.find(std::string("PK\x01\x02", 4)));
  dir.Write("a.zip", cut);
  zip.OpenArchive(archive);
  EXPECT_FALSE(zip.IsZipFile());
  EXPECT_THROW(AddText("x.txt", "x"), EZkError);
  EXPECT_TRUE(TempDir::Read(archive) == cut);
}

// ---------------------------------------------------------------- new archives

int TemporaryFiles(const TempDir& dir) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
    count += platform::IsAtomicTemporaryName(entry.path().filename().string());
  return count;
}

TEST_F(ZipTest, NewArchiveTakesItsNameOnlyWhenCommitted) {
  dir.Write("a.zip", "the last good backup");
  zip.BeginArchive(archive);
  EXPECT_TRUE(zip.IsZipFile());
  EXPECT_TRUE(zip.Active());
  EXPECT_EQ(zip.FileName(), archive);
  EXPECT_EQ(zip.Entries().Count(), 0);
  EXPECT_EQ(changes, (std::vector<int>{0, 1}));
  zip.BeginUpdate();
  AddText("/n/a.txt", TextBytes(20000, 1));
  AddText("/n/b.bin", RandomBytes(30000, 2));
  zip.EndUpdate();
  AddText("/n/c.txt", "c");
  AddText("/n/a.txt", "replaced");
  zip.Entries().DeleteEntry(zip.Entries().IndexOfName("/n/b.bin"));
  zip.SetComment({"új"});
  EXPECT_EQ(TempDir::Read(archive), "the last good backup");
  EXPECT_EQ(TemporaryFiles(dir), 1);
  changes.clear();
  zip.CommitArchive();
  EXPECT_FALSE(zip.IsZipFile());
  EXPECT_EQ(changes, (std::vector<int>{0}));
  EXPECT_EQ(TemporaryFiles(dir), 0);
  const test::ParsedZip parsed = ParseZip(archive);
  ASSERT_EQ(parsed.Central.size(), 3u);
  EXPECT_EQ(parsed.Central[1].Name, "n/c.txt");
  EXPECT_EQ(parsed.Data(parsed.Central[2]), "replaced");
  EXPECT_EQ(parsed.Comment, "új\r\n");
  zip.OpenArchive(archive);
  EXPECT_EQ(Names(), (std::vector<std::string>{"n/", "n/c.txt", "n/a.txt"}));
}

TEST_F(ZipTest, EmptyNewArchiveIsTheEmptyEndRecord) {
  zip.BeginArchive(archive);
  zip.CommitArchive();
  EXPECT_EQ(TempDir::Read(archive), std::string("PK\x05\x06", 4) + std::string(18, '\0'));
}

TEST_F(ZipTest, UncommittedNewArchiveIsDiscarded) {
  const std::string other = dir.Write("other.zip", "");
  zip.CreateArchive(other);
  const std::function<void(std::unique_ptr<TZkZip>&)> ways[] = {
      [](std::unique_ptr<TZkZip>& z) { z->CloseArchive(); },
      [](std::unique_ptr<TZkZip>& z) { z.reset(); },
      [&](std::unique_ptr<TZkZip>& z) { z->OpenArchive(other); },
      [&](std::unique_ptr<TZkZip>& z) { z->BeginArchive(dir / "b.zip"); z->CloseArchive(); },
  };
  const std::string otherBefore = TempDir::Read(other);
  for (std::size_t i = 0; i < std::size(ways); ++i) {
    SCOPED_TRACE(i);
    dir.Write("a.zip", "the last good backup");
    auto fresh = std::make_unique<TZkZip>();
    fresh->BeginArchive(archive);
    const std::string data = RandomBytes(50000, 1);
    TZkZipMemorySource source(data);
    fresh->Entries().AddStream("/x/a.bin", 0x20, source, kMoment);
    ways[i](fresh);
    EXPECT_EQ(TempDir::Read(archive), "the last good backup");
    EXPECT_EQ(TemporaryFiles(dir), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "b.zip"));
    EXPECT_EQ(TempDir::Read(other), otherBefore);
  }
}

TEST_F(ZipTest, FailedCommitLeavesTheTargetAndNoTemporaryFile) {
  // A folder in the way, made after the archive was begun: the new archive
  // cannot be renamed over it.
  zip.BeginArchive(archive);
  AddText("/x/a.txt", "a");
  dir.Write("a.zip/inside.txt", "kept");
  try {
    zip.CommitArchive();
    FAIL() << "no error";
  } catch (const EZkFileWriteError& e) {
    EXPECT_EQ(std::string(e.what()), "Írási hiba (" + archive + ")");
  }
  EXPECT_FALSE(zip.IsZipFile());
  EXPECT_EQ(TemporaryFiles(dir), 0);
  EXPECT_EQ(TempDir::Read(dir / "a.zip/inside.txt"), "kept");
}

TEST_F(ZipTest, CommitWithoutANewArchiveIsRefused) {
  EXPECT_THROW(zip.CommitArchive(), EZkError);
  Create();
  AddText("a.txt", "a");
  EXPECT_THROW(zip.CommitArchive(), EZkError);
  EXPECT_TRUE(zip.IsZipFile());
}

// ---------------------------------------------------------------- copied entries

TEST_F(ZipTest, CopiedEntriesKeepTheirBytesWithNewOffsets) {
  Create();
  AddText("/c/a.txt", TextBytes(40000, 1));
  AddText("/c/b.bin", RandomBytes(30000, 2));
  AddText("/c/empty.txt", "");
  zip.CloseArchive();
  TZkZip old;
  old.OpenArchive(archive);
  ASSERT_EQ(old.Entries().Count(), 4);

  const std::string updated = dir / "updated.zip";
  zip.BeginArchive(updated);
  zip.BeginUpdate();
  AddText("/c/new.txt", "new");
  changes.clear();
  for (const int index : {3, 1, 2}) ASSERT_NE(zip.CopyEntry(old, index), nullptr);
  EXPECT_EQ(changes, (std::vector<int>{2, 2, 2}));
  zip.EndUpdate();
  zip.CommitArchive();

  const test::ParsedZip from = ParseZip(archive);
  const test::ParsedZip to = ParseZip(updated);
  ASSERT_EQ(to.Central.size(), 5u);
  const std::size_t sources[] = {3, 1, 2};
  for (std::size_t i = 0; i < 3; ++i) {
    const test::ParsedCentral& a = from.Central[sources[i]];
    const test::ParsedCentral& b = to.Central[2 + i];
    SCOPED_TRACE(a.Name);
    const std::size_t size = 30 + a.NameLength + a.CompressedSize;
    EXPECT_TRUE(to.Bytes.substr(b.Offset, size) == from.Bytes.substr(a.Offset, size));
    const test::ParsedCentral& before = to.Central[1 + i];
    EXPECT_EQ(b.Offset, before.Offset + 30 + before.NameLength + before.CompressedSize);
    EXPECT_EQ(b.Name, a.Name);
    EXPECT_EQ(b.Crc, a.Crc);
    EXPECT_EQ(b.Method, a.Method);
    EXPECT_EQ(b.Time, a.Time);
    EXPECT_EQ(b.ExternalAttributes, a.ExternalAttributes);
    EXPECT_TRUE(to.Data(b) == from.Data(a));
  }
  zip.OpenArchive(updated);
  EXPECT_EQ(Names(), (std::vector<std::string>{"c/", "c/new.txt", "c/empty.txt", "c/a.txt", "c/b.bin"}));
}

TEST_F(ZipTest, CopyEntryRefusesWhatItCannotCopyAsItIs) {
  std::string foreign = ForeignArchive(OddForeignEntries());
  dir.Write("foreign.zip", foreign);
  // A second archive whose first local header is gone.
  foreign.replace(0, 4, "XXXX");
  dir.Write("headless.zip", foreign);
  TZkZip odd;
  odd.OpenArchive(dir / "foreign.zip");
  TZkZip headless;
  headless.OpenArchive(dir / "headless.zip");
  ASSERT_TRUE(odd.IsZipFile());
  ASSERT_TRUE(headless.IsZipFile());

  zip.BeginArchive(archive);
  ASSERT_NE(zip.CopyEntry(odd, 2), nullptr);  // extra fields are copied along
  const auto refused = [&](const TZkZip& source, int index, const std::string& message) {
    try {
      zip.CopyEntry(source, index);
      ADD_FAILURE() << "no error for " << message;
    } catch (const EZkError& e) {
      EXPECT_EQ(std::string(e.what()), message);
    }
  };
  refused(odd, 1, "A bejegyzés nem másolható (descriptor.txt)");
  refused(headless, 0, "A bejegyzés nem másolható (bad-date.txt)");
  refused(odd, 2, "A bejegyzés már szerepel az archívumban (extras.txt)");
  EXPECT_THROW(zip.CopyEntry(odd, 3), EZkError);
  EXPECT_EQ(Names(), (std::vector<std::string>{"extras.txt"}));
  zip.CommitArchive();
  const test::ParsedZip parsed = ParseZip(archive);
  ASSERT_EQ(parsed.Central.size(), 1u);
  EXPECT_EQ(parsed.Data(parsed.Central[0]), "extra fields");
  EXPECT_EQ(parsed.Local(0).Extra, Le16(0x5455) + Le16(5) + std::string("\x01\x00\x00\x00\x60", 5));
  EXPECT_EQ(parsed.Central[0].Extra, Le16(0x5455) + Le16(1) + std::string("\x01", 1));
}

// Small entries are checked whole, large ones (over 4 MiB as stored) as a
// stream; a flipped byte of the data is found either way.
TEST_F(ZipTest, CopyEntryChecksTheDataOfSmallAndLargeEntries) {
  Create();
  AddText("small.txt", TextBytes(40000, 1));
  AddText("large.txt", TextBytes(std::size_t{9} << 20, 2));
  zip.CloseArchive();
  const std::string sound = TempDir::Read(archive);
  const test::ParsedZip parsed = ParseZip(archive);
  ASSERT_EQ(parsed.Central.size(), 2u);
  std::string damaged = sound;
  for (const test::ParsedCentral& c : parsed.Central) {
    const test::ParsedLocal l = parsed.Local(c.Offset);
    damaged[c.Offset + 30 + l.NameLength + l.ExtraLength + c.CompressedSize / 2] ^= 0x55;
  }
  for (const bool damage : {false, true}) {
    SCOPED_TRACE(damage ? "damaged" : "sound");
    dir.Write("source.zip", damage ? damaged : sound);
    TZkZip source;
    source.OpenArchive(dir / "source.zip");
    zip.BeginArchive(dir / "copy.zip");
    for (const std::string name : {"small.txt", "large.txt"}) {
      try {
        zip.CopyEntry(source, source.Entries().IndexOfName(name));
        EXPECT_FALSE(damage) << name;
      } catch (const EZkZipDataError& e) {
        EXPECT_TRUE(damage) << name;
        EXPECT_EQ(std::string(e.what()), "Sérült bejegyzés (" + name + ")");
      }
    }
    zip.CommitArchive();
    if (!damage) {
      EXPECT_TRUE(ParseZip(dir / "copy.zip").Bytes.substr(0, parsed.CentralOffset) ==
                  sound.substr(0, parsed.CentralOffset));
    }
  }
}

}  // namespace
}  // namespace zk
