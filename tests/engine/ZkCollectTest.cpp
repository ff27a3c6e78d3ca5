#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/ZkJob.h"
#include "engine/ZkRunControl.h"
#include "support/ZkTempDir.h"

namespace zk::test {
namespace {

namespace fs = std::filesystem;

constexpr int kFolderWait = 200;

// Records the waits asked for instead of waiting. Once a given number of
// waits has been made it asks the walk to stop, or reports the thread
// terminated.
class RecordingControl : public TZkRunControl {
public:
  std::vector<int> Waits;
  int StopAfterWaits = -1;  // never
  bool TerminateInstead = false;

  bool StopRequested() const override { return !TerminateInstead && StopDue(); }
  bool Terminated() const override { return TerminateInstead && StopDue(); }
  void Wait(int milliseconds) override { Waits.push_back(milliseconds); }

private:
  bool StopDue() const { return StopAfterWaits >= 0 && static_cast<int>(Waits.size()) >= StopAfterWaits; }
};

std::string FolderOf(const std::string& path) { return path.substr(0, path.rfind('/')); }

bool IsBelow(const std::string& path, const std::string& folder) { return path.starts_with(folder + "/"); }

// Depth first with the files of a folder before anything from its
// sub-folders: no file comes after a file from deeper in its own folder, and
// the files below any one folder form one unbroken run.
void ExpectDepthFirst(const std::vector<std::string>& result) {
  for (std::size_t j = 0; j < result.size(); ++j) {
    const std::string folder = FolderOf(result[j]);
    for (std::size_t i = 0; i < j; ++i)
      EXPECT_FALSE(IsBelow(FolderOf(result[i]), folder)) << result[i] << " listed before " << result[j];
  }
  for (const std::string& path : result) {
    for (std::string folder = FolderOf(path); folder.size() > 1; folder = FolderOf(folder)) {
      const auto first = std::find_if(result.begin(), result.end(), [&](const auto& p) { return IsBelow(p, folder); });
      const auto last = std::find_if(result.rbegin(), result.rend(), [&](const auto& p) { return IsBelow(p, folder); });
      EXPECT_TRUE(std::all_of(first, last.base(), [&](const auto& p) { return IsBelow(p, folder); }))
          << "files below " << folder << " are not contiguous";
    }
  }
}

class CollectTest : public ::testing::Test {
protected:
  // The root itself for an empty name, else a path inside it as written
  // (so "sub/" keeps its final separator).
  std::string Path(const std::string& relative) const {
    return relative.empty() ? dir_.Path().string() : dir_.Path().string() + "/" + relative;
  }

  void File(const std::string& relative, std::int64_t size) {
    dir_.Write(relative, std::string(static_cast<std::size_t>(size), 'x'));
    sizes_[relative] = size;
  }

  TZkThreadSaveFile& Include(const std::string& name, bool subDir = true, bool hidden = true) {
    return AddSpec(job_.AddFiles().Add(), name, subDir, hidden);
  }
  TZkThreadSaveFile& Exclude(const std::string& name, bool subDir = true, bool hidden = true) {
    return AddSpec(job_.ExtractFiles().Add(), name, subDir, hidden);
  }

  std::int64_t Collect() { return job_.CollectFiles(result_, control_); }

  // The result as paths inside the root, sorted, duplicates kept.
  std::vector<std::string> Found() const {
    std::vector<std::string> names;
    const std::string prefix = dir_.Path().string() + "/";
    for (const std::string& path : result_) {
      EXPECT_TRUE(path.starts_with(prefix)) << path;
      names.push_back(path.substr(prefix.size()));
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::int64_t SizeOf(const std::vector<std::string>& names) const {
    std::int64_t total = 0;
    for (const std::string& name : names) total += sizes_.at(name);
    return total;
  }

  static std::vector<int> FolderWaits(std::size_t folders) { return std::vector<int>(folders, kFolderWait); }

  TempDir dir_;
  TZkThreadSaveTask job_;
  RecordingControl control_;
  std::vector<std::string> result_;
  std::map<std::string, std::int64_t> sizes_;

private:
  TZkThreadSaveFile& AddSpec(TZkThreadSaveFile& spec, const std::string& name, bool subDir, bool hidden) {
    spec.Name = name;
    spec.SubDir = subDir;
    spec.Hidden = hidden;
    return spec;
  }
};

// Four folders: the root, sub, sub/deep and other.
class CollectTreeTest : public CollectTest {
protected:
  void SetUp() override {
    File("a.txt", 3);
    File("A.TXT", 4);
    File("b.dat", 5);
    File("sub/c.txt", 7);
    File("sub/deep/a.txt", 11);
    File("other/e.txt", 13);
  }
};

struct SpecCase {
  const char* suffix;  // appended to the root's path
  bool subDir;
  std::vector<std::string> files;
  std::size_t foldersVisited;
};

TEST_F(CollectTreeTest, ExpandsFoldersFilesAndMasks) {
  const std::vector<std::string> all = {"A.TXT", "a.txt", "b.dat", "other/e.txt", "sub/c.txt", "sub/deep/a.txt"};
  const std::vector<std::string> top = {"A.TXT", "a.txt", "b.dat"};
  const SpecCase cases[] = {
      {"", true, all, 4},
      {"/", true, all, 4},
      {"", false, top, 1},
      {"/", false, top, 1},
      {"/sub", true, {"sub/c.txt", "sub/deep/a.txt"}, 2},
      // One file by name: exactly that name, also where letter case differs.
      {"/a.txt", false, {"a.txt"}, 1},
      {"/a.txt", true, {"a.txt", "sub/deep/a.txt"}, 4},
      // A mask applies at every depth and ignores the case of A to Z.
      {"/*.TXT", true, {"A.TXT", "a.txt", "other/e.txt", "sub/c.txt", "sub/deep/a.txt"}, 4},
      {"/sub/*.txt", false, {"sub/c.txt"}, 1},
      {"/missing", false, {}, 1},
      {"/missing/", true, {}, 1},
  };
  for (const SpecCase& c : cases) {
    SCOPED_TRACE(std::string("spec root") + c.suffix + (c.subDir ? " with" : " without") + " sub-folders");
    job_.AddFiles().Clear();
    result_.clear();
    control_.Waits.clear();
    Include(Path("") + c.suffix, c.subDir);
    const std::int64_t total = Collect();
    EXPECT_EQ(Found(), c.files);
    EXPECT_EQ(total, SizeOf(c.files));
    EXPECT_EQ(control_.Waits, FolderWaits(c.foldersVisited));
    ExpectDepthFirst(result_);
  }
}

// Overlapping includes: a file is packed once, however many include it.
TEST_F(CollectTreeTest, FileCoveredTwiceIsListedAndCountedOnce) {
  Include(Path(""), false);
  Include(Path("a.txt"), false);
  const std::int64_t total = Collect();
  EXPECT_EQ(Found(), (std::vector<std::string>{"A.TXT", "a.txt", "b.dat"}));
  EXPECT_EQ(total, 4 + 5 + 3);
  EXPECT_EQ(control_.Waits, FolderWaits(2));
}

TEST_F(CollectTest, BareExcludeMasksApplyToFilesInEveryFolder) {
  File("A.TMP", 1);
  File("keep.txt", 2);
  File("b.tmp.txt", 3);
  File("sub/b.tmp", 4);
  File("sub/x.TmP", 5);
  File("sub/deep/c.tmp", 6);
  File("sub/deep/d.txt", 7);
  // A folder whose name matches is still walked; only files are excluded.
  File("cache.tmp/inner.txt", 8);
  // A bare name without wildcards is that exact name, as a search finds it.
  File("sub/Thumbs.db", 9);
  File("THUMBS.DB", 10);
  Include(Path(""));
  Exclude("*.tmp");
  Exclude("Thumbs.db");
  const std::int64_t total = Collect();
  const std::vector<std::string> kept = {"THUMBS.DB", "b.tmp.txt", "cache.tmp/inner.txt", "keep.txt",
                                         "sub/deep/d.txt"};
  EXPECT_EQ(Found(), kept);
  EXPECT_EQ(total, SizeOf(kept));
  EXPECT_EQ(control_.Waits, FolderWaits(4));
}

TEST_F(CollectTest, QuestionMarkMasksTakeAndLeaveOutOneAccentedLetter) {
  File("\xC3\xA9.txt", 1);
  File("ab.txt", 2);
  File("sub/\xC5\x91.txt", 3);
  File("sub/\xC5\x91.tmp", 4);
  Include(Path("?.txt"), false);
  Include(Path("sub/*.*"));
  Exclude("?.tmp");
  const std::int64_t total = Collect();
  const std::vector<std::string> kept = {"sub/\xC5\x91.txt", "\xC3\xA9.txt"};
  EXPECT_EQ(Found(), kept);
  EXPECT_EQ(total, SizeOf(kept));
}

struct ExcludeCase {
  const char* name;
  bool subDir;
  bool hidden;
  std::vector<std::string> kept;
  std::size_t excludeFolders;  // folders the exclusion walks
};

TEST_F(CollectTest, ExcludeWithFolderLeavesOutExactlyWhatItWouldTake) {
  File("a.txt", 1);
  File("sub/c.txt", 2);
  File("sub/.h", 3);
  File("sub/deep/d.txt", 4);
  File("sub/deep/e.log", 5);
  const ExcludeCase cases[] = {
      {"sub", true, false, {"a.txt", "sub/.h"}, 2},
      {"sub/", true, true, {"a.txt"}, 2},
      {"sub", false, true, {"a.txt", "sub/deep/d.txt", "sub/deep/e.log"}, 1},
      {"sub/*.log", true, true, {"a.txt", "sub/.h", "sub/c.txt", "sub/deep/d.txt"}, 2},
      {"nothing/here", true, true, {"a.txt", "sub/.h", "sub/c.txt", "sub/deep/d.txt", "sub/deep/e.log"}, 1},
  };
  for (const ExcludeCase& c : cases) {
    SCOPED_TRACE(std::string("exclude ") + c.name);
    job_.AddFiles().Clear();
    job_.ExtractFiles().Clear();
    result_.clear();
    control_.Waits.clear();
    Include(Path(""));
    Exclude(Path(c.name), c.subDir, c.hidden);
    const std::int64_t total = Collect();
    EXPECT_EQ(Found(), c.kept);
    EXPECT_EQ(total, SizeOf(c.kept));
    EXPECT_EQ(control_.Waits, FolderWaits(c.excludeFolders + 3));
  }
}

TEST_F(CollectTest, HiddenFilesFollowTheFlagWhileHiddenFoldersAreAlwaysWalked) {
  File(".profile", 1);
  File("a.txt", 2);
  File(".cfg/x.txt", 3);
  File(".cfg/.y", 4);
  File("sub/.z", 5);
  for (const bool hidden : {true, false}) {
    SCOPED_TRACE(hidden ? "hidden taken" : "hidden left out");
    job_.AddFiles().Clear();
    result_.clear();
    control_.Waits.clear();
    Include(Path(""), true, hidden);
    const std::int64_t total = Collect();
    const std::vector<std::string> expected =
        hidden ? std::vector<std::string>{".cfg/.y", ".cfg/x.txt", ".profile", "a.txt", "sub/.z"}
               : std::vector<std::string>{".cfg/x.txt", "a.txt"};
    EXPECT_EQ(Found(), expected);
    EXPECT_EQ(total, SizeOf(expected));
    EXPECT_EQ(control_.Waits, FolderWaits(3));
  }
}

TEST_F(CollectTest, SpecialFilesAndLinksNeitherHangNorLoop) {
  File("a.txt", 3);
  File("sub/c.txt", 7);
  ASSERT_EQ(mkfifo(Path("pipe").c_str(), 0600), 0);
  fs::create_symlink("a.txt", Path("link.txt"));
  fs::create_symlink(dir_.Path(), Path("sub/up"));  // back up to the root
  fs::create_symlink("gone", Path("dangling"));
  Include(Path(""));
  const std::int64_t total = Collect();
  // The link to a file counts as that file; the FIFO, the dangling link and
  // everything behind the folder link stay out.
  EXPECT_EQ(Found(), (std::vector<std::string>{"a.txt", "link.txt", "sub/c.txt"}));
  EXPECT_EQ(total, 3 + 3 + 7);
  EXPECT_EQ(control_.Waits, FolderWaits(2));
}

TEST_F(CollectTest, NamingAFifoTakesNothing) {
  ASSERT_EQ(mkfifo(Path("pipe").c_str(), 0600), 0);
  Include(Path("pipe"), false);
  EXPECT_EQ(Collect(), 0);
  EXPECT_TRUE(result_.empty());
}

TEST_F(CollectTest, SizesAreSummedInSixtyFourBits) {
  constexpr std::int64_t kFiveGiB = std::int64_t{5} << 30;
  File("small", 3);
  {
    const int fd = open(Path("big").c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    const int truncated = ftruncate(fd, kFiveGiB);  // sparse: takes no disk space
    close(fd);
    ASSERT_EQ(truncated, 0);
  }
  Include(Path(""));
  EXPECT_EQ(Collect(), kFiveGiB + 3);
  EXPECT_EQ(Found(), (std::vector<std::string>{"big", "small"}));
}

struct StopCase {
  int stopAfterWaits;
  bool terminate;
  std::vector<std::string> found;
};

// A chain of folders with one file each, the last with two sub-folders (the
// second must not be visited after a stop in the first); the sizes tell
// which files were counted.
TEST_F(CollectTest, StopDuringTheWalkReturnsWhatWasFoundSoFar) {
  File("f0", 1);
  File("s1/f1", 10);
  File("s1/s2/f2", 100);
  File("s1/s2/s3/f3", 1000);
  File("s1/s2/x/fx", 10000);
  const StopCase cases[] = {
      {1, false, {}},
      {2, false, {"f0"}},
      {3, false, {"f0", "s1/f1"}},
      {3, true, {"f0", "s1/f1"}},
      {4, false, {"f0", "s1/f1", "s1/s2/f2"}},
  };
  for (const StopCase& c : cases) {
    SCOPED_TRACE("stop after " + std::to_string(c.stopAfterWaits) + (c.terminate ? " waits, terminated" : " waits"));
    job_.AddFiles().Clear();
    result_.clear();
    control_.Waits.clear();
    control_.StopAfterWaits = c.stopAfterWaits;
    control_.TerminateInstead = c.terminate;
    Include(Path(""));
    Include(Path(""));  // never reached
    const std::int64_t total = Collect();
    EXPECT_EQ(Found(), c.found);
    EXPECT_EQ(total, SizeOf(c.found));
    EXPECT_EQ(control_.Waits, FolderWaits(static_cast<std::size_t>(c.stopAfterWaits)));
  }
}

TEST_F(CollectTest, StopWhileExpandingExclusionsTakesNothing) {
  File("f0", 1);
  File("s1/f1", 10);
  Exclude(Path("s1"));
  Exclude(Path("s1"));
  Include(Path(""));
  control_.StopAfterWaits = 1;
  EXPECT_EQ(Collect(), 0);
  EXPECT_TRUE(result_.empty());
  EXPECT_EQ(control_.Waits, FolderWaits(1));
}

}  // namespace
}  // namespace zk::test
