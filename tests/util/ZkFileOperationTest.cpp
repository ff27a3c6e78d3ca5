#include "util/ZkFileOperation.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <optional>

#include "support/ZkEnvironmentVariable.h"
#include "support/ZkTempDir.h"

namespace zk {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// Answers the questions from a script and records what was asked.
class TScriptedUi : public TZkFileOperationUi {
public:
  std::deque<TZkAnswer> Answers;
  bool CreateFolders = true;
  // Cancels once this many entries have started.
  std::optional<std::size_t> CancelAfter;
  std::vector<std::string> Asked;

  TZkAnswer ConfirmReplace(const std::string& target) override { return Next("replace " + target); }
  TZkAnswer ConfirmDelete(const std::string& path, bool toTrash) override {
    return Next((toTrash ? "trash " : "delete ") + path);
  }
  bool ConfirmMkDir(const std::string& folder) override {
    Asked.push_back("mkdir " + folder);
    return CreateFolders;
  }
  void Progress(std::size_t done, std::size_t, const std::string&) override { started_ = done + 1; }
  bool Cancelled() override { return CancelAfter && started_ > *CancelAfter; }

private:
  TZkAnswer Next(std::string question) {
    Asked.push_back(std::move(question));
    if (Answers.empty()) {
      ADD_FAILURE() << "unexpected question: " << Asked.back();
      return TZkAnswer::Cancel;
    }
    const TZkAnswer answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
  std::size_t started_ = 0;
};

class FileOperationTest : public ::testing::Test {
protected:
  TZkFileOperationResult Run(TFileOperation operation, const std::string& source, const std::string& destination,
                             TZkFileOperationOptions options = {}) {
    return RunFileOperation(operation, SplitFileList(source), SplitFileList(destination), options, ui);
  }
  std::string Read(const std::string& name) const { return TempDir::Read(dir / name); }
  bool Has(const std::string& name) const { return fs::exists(fs::symlink_status(dir / name)); }

  TempDir dir;
  TScriptedUi ui;
};

TEST(SplitFileList, SplitsAtSemicolonsAndBars) {
  EXPECT_EQ(SplitFileList("a.txt;b.txt|c.txt"), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
  EXPECT_EQ(SplitFileList(""), std::vector<std::string>{});
  EXPECT_EQ(SplitFileList("a;;b|"), (std::vector<std::string>{"a", "b"}));
}

TEST_F(FileOperationTest, CopyRenamesOnCollision) {
  dir.Write("src/a.txt", "new");
  dir.Write("dst/a.txt", "old");
  dir.Write("dst/a (2).txt", "older");
  const auto result = Run(TFileOperation::foCopy, dir / "src/a.txt", dir / "dst", {.RenameOnCollision = true});
  EXPECT_TRUE(result.Success) << result.Error;
  EXPECT_FALSE(result.Aborted);
  EXPECT_EQ(Read("dst/a.txt"), "old");
  EXPECT_EQ(Read("dst/a (2).txt"), "older");
  EXPECT_EQ(Read("dst/a (3).txt"), "new");
  EXPECT_EQ(Read("src/a.txt"), "new");
  EXPECT_TRUE(ui.Asked.empty());
}

TEST_F(FileOperationTest, CopyOntoItselfMakesASecondCopy) {
  dir.Write("a.txt", "x");
  const auto result = Run(TFileOperation::foCopy, dir / "a.txt", dir / "a.txt");
  EXPECT_TRUE(result.Success) << result.Error;
  EXPECT_EQ(Read("a (2).txt"), "x");
}

TEST_F(FileOperationTest, CopiesFoldersAndListsIntoAFolderItCreates) {
  dir.Write("src/tree/x.txt", "x");
  dir.Write("src/tree/deep/y.txt", "y");
  dir.Write("src/b.txt", "b");
  const auto result = Run(TFileOperation::foCopy, dir / "src/tree" + ";" + dir / "src/b.txt", dir / "new/target",
                          {.NoConfirmMkDir = true});
  EXPECT_TRUE(result.Success) << result.Error;
  EXPECT_EQ(Read("new/target/tree/x.txt"), "x");
  EXPECT_EQ(Read("new/target/tree/deep/y.txt"), "y");
  EXPECT_EQ(Read("new/target/b.txt"), "b");
}

TEST_F(FileOperationTest, WildcardWithFilesOnlyLeavesFoldersOut) {
  dir.Write("src/a.txt", "a");
  dir.Write("src/sub.txt/c.txt", "c");
  dir.Write("src/b.log", "b");
  fs::create_directories(dir / "dst");
  EXPECT_TRUE(Run(TFileOperation::foCopy, dir / "src/*.txt", dir / "dst", {.FilesOnly = true}).Success);
  EXPECT_TRUE(Has("dst/a.txt"));
  EXPECT_FALSE(Has("dst/sub.txt"));
  EXPECT_FALSE(Has("dst/b.log"));
  EXPECT_TRUE(Run(TFileOperation::foCopy, dir / "src/*.txt", dir / "dst", {.NoConfirmation = true}).Success);
  EXPECT_EQ(Read("dst/sub.txt/c.txt"), "c");
}

TEST_F(FileOperationTest, MissingFolderIsCreatedOnlyWhenTheUserAgrees) {
  dir.Write("a.txt", "a");
  ui.CreateFolders = false;
  const auto refused = Run(TFileOperation::foCopy, dir / "a.txt", dir / "new/");
  EXPECT_TRUE(refused.Aborted);
  EXPECT_FALSE(refused.Success);
  EXPECT_FALSE(Has("new"));
  EXPECT_EQ(ui.Asked, std::vector<std::string>{"mkdir " + dir / "new"});

  ui.CreateFolders = true;
  EXPECT_TRUE(Run(TFileOperation::foCopy, dir / "a.txt", dir / "new/").Success);
  EXPECT_EQ(Read("new/a.txt"), "a");
}

// Copying a folder into its own subfolder would never end.
TEST_F(FileOperationTest, FolderIsNeverCopiedIntoItself) {
  dir.Write("tree/x.txt", "x");
  const auto result = Run(TFileOperation::foCopy, dir / "tree", dir / "tree/inner/", {.NoConfirmMkDir = true});
  EXPECT_FALSE(result.Success);
  EXPECT_EQ(result.Error, "A mappa nem másolható és nem helyezhető át önmagába (" + dir / "tree" + ")");
  EXPECT_FALSE(Has("tree/inner/tree"));
}

TEST_F(FileOperationTest, MissingSourceStopsBeforeAnythingIsDone) {
  dir.Write("a.txt", "a");
  fs::create_directories(dir / "dst");
  const auto result = Run(TFileOperation::foMove, dir / "a.txt;" + dir / "missing.txt", dir / "dst");
  EXPECT_FALSE(result.Success);
  EXPECT_EQ(result.Error, "A forrás nem található (" + dir / "missing.txt" + ")");
  EXPECT_TRUE(Has("a.txt"));
}

TEST_F(FileOperationTest, MoveTakesFilesAndFolders) {
  dir.Write("src/a.txt", "a");
  dir.Write("src/tree/x.txt", "x");
  fs::create_directories(dir / "dst");
  const auto result = Run(TFileOperation::foMove, dir / "src/a.txt|" + dir / "src/tree", dir / "dst");
  EXPECT_TRUE(result.Success) << result.Error;
  EXPECT_EQ(Read("dst/a.txt"), "a");
  EXPECT_EQ(Read("dst/tree/x.txt"), "x");
  EXPECT_FALSE(Has("src/a.txt"));
  EXPECT_FALSE(Has("src/tree"));
}

TEST_F(FileOperationTest, MoveIntoAnExistingFolderMergesWhenAllowed) {
  dir.Write("src/tree/x.txt", "new x");
  dir.Write("src/tree/y.txt", "y");
  dir.Write("dst/tree/x.txt", "old x");
  dir.Write("dst/tree/z.txt", "z");
  ui.Answers = {TZkAnswer::Yes};
  const auto result = Run(TFileOperation::foMove, dir / "src/tree", dir / "dst");
  EXPECT_TRUE(result.Success) << result.Error;
  EXPECT_EQ(ui.Asked, std::vector<std::string>{"replace " + dir / "dst/tree"});
  EXPECT_EQ(Read("dst/tree/x.txt"), "new x");
  EXPECT_EQ(Read("dst/tree/y.txt"), "y");
  EXPECT_EQ(Read("dst/tree/z.txt"), "z");
  EXPECT_FALSE(Has("src/tree"));
}

TEST_F(FileOperationTest, RenameStaysInTheSourceFolder) {
  dir.Write("a.txt", "a");
  dir.Write("b.txt", "b");
  const auto result =
      Run(TFileOperation::foRename, dir / "a.txt;" + dir / "b.txt", "c.txt;d.txt", {.MultiDest = true});
  EXPECT_TRUE(result.Success) << result.Error;
  EXPECT_EQ(Read("c.txt"), "a");
  EXPECT_EQ(Read("d.txt"), "b");
  EXPECT_FALSE(Has("a.txt"));
}

// Each answer to "replace?" over three sources that all collide.
TEST_F(FileOperationTest, ReplaceAnswers) {
  struct TCase {
    const char* Name;
    std::deque<TZkAnswer> Answers;
    bool Success, Aborted;
    const char* Targets;  // the three targets afterwards
    std::size_t Questions;
  };
  const TCase cases[] = {
      {"yes", {TZkAnswer::Yes, TZkAnswer::Yes, TZkAnswer::Yes}, true, false, "123", 3},
      {"yes to all", {TZkAnswer::YesToAll}, true, false, "123", 1},
      {"no skips one", {TZkAnswer::Yes, TZkAnswer::No, TZkAnswer::Yes}, true, true, "1o3", 3},
      {"cancel stops", {TZkAnswer::Yes, TZkAnswer::Cancel}, false, true, "1oo", 2},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TempDir local;
    std::string sources;
    for (const char* name : {"1", "2", "3"}) {
      sources += local.Write(std::string("src/") + name, name) + ";";
      local.Write(std::string("dst/") + name, "o");
    }
    TScriptedUi scripted;
    scripted.Answers = c.Answers;
    const auto result =
        RunFileOperation(TFileOperation::foCopy, SplitFileList(sources), {local / "dst"}, {}, scripted);
    EXPECT_EQ(result.Success, c.Success);
    EXPECT_EQ(result.Aborted, c.Aborted);
    EXPECT_EQ(TempDir::Read(local / "dst/1") + TempDir::Read(local / "dst/2") + TempDir::Read(local / "dst/3"),
              c.Targets);
    EXPECT_EQ(scripted.Asked.size(), c.Questions);
  }
}

TEST_F(FileOperationTest, CancelStopsBetweenEntries) {
  dir.Write("src/1", "1");
  dir.Write("src/2", "2");
  fs::create_directories(dir / "dst");
  ui.CancelAfter = 1;
  const auto result = Run(TFileOperation::foCopy, dir / "src/1;" + dir / "src/2", dir / "dst");
  EXPECT_FALSE(result.Success);
  EXPECT_TRUE(result.Aborted);
  EXPECT_TRUE(Has("dst/1"));
  EXPECT_FALSE(Has("dst/2"));
}

class DeleteTest : public FileOperationTest {
protected:
  TempDir data;
  // The trash lives under the temporary data folder for the test's life.
  test::TEnvironmentVariable dataHome{"XDG_DATA_HOME", data.Path().string()};
};

TEST_F(DeleteTest, WithUndoMovesToTheTrash) {
  const std::string path = dir.Write("a b.txt", "a");
  dir.Write("tree/x.txt", "x");
  ui.Answers = {TZkAnswer::Yes, TZkAnswer::Yes};
  const auto result = Run(TFileOperation::foDelete, path + "|" + dir / "tree", "", {.AllowUndo = true});
  EXPECT_TRUE(result.Success) << result.Error;
  EXPECT_EQ(ui.Asked, (std::vector<std::string>{"trash " + path, "trash " + dir / "tree"}));
  EXPECT_FALSE(Has("a b.txt"));
  EXPECT_FALSE(Has("tree"));
  const std::string trash = (data.Path() / "Trash").string();
  EXPECT_EQ(TempDir::Read(trash + "/files/a b.txt"), "a");
  EXPECT_EQ(TempDir::Read(trash + "/files/tree/x.txt"), "x");
  const std::string record = TempDir::Read(trash + "/info/a b.txt.trashinfo");
  EXPECT_EQ(record.substr(0, record.find("DeletionDate=")),
            "[Trash Info]\nPath=" + (dir.Path() / "a%20b.txt").string() + "\n");
}

TEST_F(DeleteTest, WithoutUndoRemovesAndNoKeeps) {
  const std::string kept = dir.Write("kept.txt", "k");
  dir.Write("tree/x.txt", "x");
  ui.Answers = {TZkAnswer::No, TZkAnswer::Yes};
  const auto result = Run(TFileOperation::foDelete, kept + ";" + dir / "tree", "");
  EXPECT_TRUE(result.Success) << result.Error;
  EXPECT_TRUE(result.Aborted);
  EXPECT_TRUE(Has("kept.txt"));
  EXPECT_FALSE(Has("tree"));
  EXPECT_FALSE(fs::exists(data.Path() / "Trash"));
}

}  // namespace
}  // namespace zk
