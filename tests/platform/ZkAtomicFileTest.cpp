#include "platform/ZkAtomicFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <set>

#include "base/ZkError.h"
#include "support/ZkFileSizeLimit.h"
#include "support/ZkTempDir.h"
#include "util/ZkUtilFile.h"

namespace zk::platform {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public ::testing::Test {
protected:
  // Every name in the folder, to see that no temporary file stays behind.
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.Path())) names.insert(entry.path().filename().string());
    return names;
  }

  static fs::perms Mode(const std::string& path) { return fs::status(path).permissions(); }

  test::TempDir dir;
};

TEST_F(AtomicFileTest, ReplacesContentAndKeepsPermissionBits) {
  const auto path = dir.Write("jobs.xml", "old content that is longer than the new one");
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  WriteFileAtomically(path, [](std::ostream& out) { out << "new"; });
  EXPECT_EQ(test::TempDir::Read(path), "new");
  EXPECT_EQ(Mode(path), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(Names(), std::set<std::string>{"jobs.xml"});
}

TEST_F(AtomicFileTest, NewFileGetsTheUsualPermissions) {
  const mode_t previous = umask(027);
  const auto path = dir / "new.xml";
  WriteFileAtomically(path, [](std::ostream& out) { out << std::string(200'000, 'x'); });
  umask(previous);
  EXPECT_EQ(test::TempDir::Read(path), std::string(200'000, 'x'));
  EXPECT_EQ(Mode(path), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(AtomicFileTest, ReplacesTheTargetOfASymbolicLink) {
  const auto target = dir.Write("real.xml", "old");
  const auto link = dir / "link.xml";
  fs::create_symlink("real.xml", link);
  WriteFileAtomically(link, [](std::ostream& out) { out << "new"; });
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(test::TempDir::Read(target), "new");
}

TEST_F(AtomicFileTest, ThrowingWriterLeavesTheOldFile) {
  const auto path = dir.Write("jobs.xml", "old");
  EXPECT_THROW(WriteFileAtomically(path,
                                   [](std::ostream& out) {
                                     out << std::string(100'000, 'n');
                                     throw std::runtime_error("writer failed");
                                   }),
               std::runtime_error);
  EXPECT_EQ(test::TempDir::Read(path), "old");
  EXPECT_EQ(Names(), std::set<std::string>{"jobs.xml"});
}

TEST_F(AtomicFileTest, FolderThatCannotTakeTheTemporaryFileIsACreateError) {
  dir.Write("file", "");
  const auto path = dir / "file/jobs.xml";  // the parent is a regular file
  try {
    WriteFileAtomically(path, [](std::ostream& out) { out << "new"; });
    FAIL() << "no error";
  } catch (const EZkFileCreateError& e) {
    EXPECT_EQ(std::string(e.what()), "Létrehozási hiba (" + path + ")");
  }
}

TEST_F(AtomicFileTest, ReadOnlyFolderLeavesTheOldFile) {
  if (geteuid() == 0) GTEST_SKIP() << "running as root: permission bits do not stop writes";
  const auto path = dir.Write("ro/jobs.xml", "old");
  fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_THROW(WriteFileAtomically(path, [](std::ostream& out) { out << "new"; }), EZkFileCreateError);
  EXPECT_EQ(test::TempDir::Read(path), "old");
}

// A file-size limit makes the disk refuse the write part way, as a full disk
// would; the writer's own stream shows no sign of it until the data is flushed.
TEST_F(AtomicFileTest, FailedWriteIsAWriteErrorAndLeavesTheOldFile) {
  const auto path = dir.Write("jobs.xml", "old");
  std::string message;
  try {
    const test::TFileSizeLimit full(1000);
    WriteFileAtomically(path, [](std::ostream& out) { out << std::string(300'000, 'n'); });
  } catch (const EZkFileWriteError& e) {
    message = e.what();
  }
  // The limit fails the write as a full disk does, and the message says so.
  EXPECT_EQ(message, "Írási hiba, megtelt a lemez (" + path + ")");
  EXPECT_EQ(test::TempDir::Read(path), "old");
  EXPECT_EQ(Names(), std::set<std::string>{"jobs.xml"});
}


TEST_F(AtomicFileTest, UncommittedFileLeavesTheTargetAsItWas) {
  const auto path = dir.Write("a.zip", "previous archive");
  {
    AtomicFile file(path);
    EXPECT_EQ(FolderPart(file.TemporaryPath()) , FolderPart(path));
    EXPECT_TRUE(IsAtomicTemporaryName(FileNamePart(file.TemporaryPath())));
    ASSERT_TRUE(file.File().WriteAll("new", 3));
    EXPECT_EQ(Names().size(), 2U);
  }
  EXPECT_EQ(test::TempDir::Read(path), "previous archive");
  EXPECT_EQ(Names(), std::set<std::string>{"a.zip"});
}

TEST_F(AtomicFileTest, CommitReplacesTheTargetAndKeepsTheHandleOnIt) {
  const auto path = dir.Write("a.zip", "previous archive");
  AtomicFile file(path);
  ASSERT_TRUE(file.File().WriteAll("new", 3));
  file.Commit();
  EXPECT_TRUE(file.Committed());
  EXPECT_EQ(test::TempDir::Read(path), "new");
  EXPECT_TRUE(file.File().IsSameFile(path));
  EXPECT_EQ(Names(), std::set<std::string>{"a.zip"});
}

TEST_F(AtomicFileTest, CommitWithoutFlushReplacesTheTargetTooAndTheFileSystemIsFlushedLater) {
  const auto path = dir.Write("a.txt", "previous");
  for (const bool flush : {true, false}) {
    AtomicFile file(path);
    ASSERT_TRUE(file.File().WriteAll(flush ? "flushed" : "later", flush ? 7 : 5));
    file.Commit(flush);
    EXPECT_EQ(test::TempDir::Read(path), flush ? "flushed" : "later");
    EXPECT_EQ(Names(), std::set<std::string>{"a.txt"});
  }
  const std::string missing = dir / "missing";
  EXPECT_EQ(SyncFileSystems({dir.Path().string(), dir.Path().string() + "/", missing}),
            std::vector<std::string>{missing});
}

TEST(AtomicFileNames, TemporaryNamesAreRecognised) {
  struct Case {
    std::string name;
    bool temporary;
  };
  for (const Case& c : std::vector<Case>{{".a.zip~123.Ab12Cd.part", true},
                                         {".Mentés 2024.Zip~7.zzzzzz.part", true},
                                         {"a.zip~123.Ab12Cd.part", false},
                                         {".a.zip~.Ab12Cd.part", false},
                                         {".a.zip~12x.Ab12Cd.part", false},
                                         {".a.zip~123.Ab12C.part", false},
                                         {".a.zip~123.Ab12Cd.tmp", false},
                                         {"a.zip", false}})
    EXPECT_EQ(IsAtomicTemporaryName(c.name), c.temporary) << c.name;
}

// A writer killed in the middle leaves its temporary file; the next writer's
// clean-up removes it, but never the file of a process that still runs.
// Leaves the temporary file of a writer killed in the middle.
void KilledWriter(const std::string& path) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    AtomicFile file(path);
    static_cast<void>(file.File().WriteAll("partial", 7));
    raise(SIGKILL);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
}

TEST_F(AtomicFileTest, LeftoversOfKilledWritersAreRemoved) {
  const auto path = dir.Write("a.zip", "previous archive");
  KilledWriter(path);
  ASSERT_EQ(Names().size(), 2U);

  AtomicFile live(path);
  const std::string liveName = FileNamePart(live.TemporaryPath());
  RemoveAtomicLeftovers(dir.Path());
  EXPECT_EQ(Names(), (std::set<std::string>{"a.zip", liveName}));
  EXPECT_EQ(test::TempDir::Read(path), "previous archive");

  // A whole-file write clears its folder of them first.
  KilledWriter(path);
  ASSERT_EQ(Names().size(), 3U);
  WriteFileAtomically(path, [](std::ostream& out) { out << "new"; });
  EXPECT_EQ(Names(), (std::set<std::string>{"a.zip", liveName}));
}

}  // namespace
}  // namespace zk::platform
