#include "engine/ZkActiveTask.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace zk::test {
namespace {

// Job 'Documents' started by its entry 'Nightly' on Friday 5 January 2024
// at 09:07, in the given path style.
struct NamingFixture {
  explicit NamingFixture(PathStyle style) : task(style) {
    task.Name = "Documents";
    task.TimerList().Add().SetName("Nightly");
    task.TimerIndex = 0;
    task.StartDate = EncodeDate(2024, 1, 5);
    task.StartTime = EncodeTime(9, 7, 3, 0);
  }
  TZkThreadDefineOutput& Output() { return task.DefineOutput(); }
  TZkThreadActiveTask task;
};

TEST(ActiveTaskNaming, WorkedExampleGivesItsFivePaths) {
  NamingFixture f(PathStyle::Windows);
  TZkThreadDefineOutput& o = f.Output();
  o.OutputFolder = "D:\\Backup\\";
  o.OutputFolderDate = true;
  o.OutputFolderWeekDay = true;
  o.FileNameTime = true;
  o.Temp = "C:\\Work";
  o.DuplicateFolder = "E:\\Copy";
  o.DuplicateFileName = "docs";
  o.DuplicateFileNameDate = true;

  EXPECT_EQ(f.task.GetOutputPath(), "D:\\Backup 2024.01.05 6\\Documents Nightly 0907.Zip");
  EXPECT_EQ(f.task.GetWorkPath(), "C:\\Work 6\\Documents Nightly 0907.Zip");
  EXPECT_EQ(f.task.GetDuplicatePath(), "E:\\Copy\\docs 2024.01.05.Zip");
  EXPECT_EQ(f.task.WithExtension(f.task.GetWorkPath(), ".Log"), "C:\\Work 6\\Documents Nightly 0907.Log");
  EXPECT_EQ(f.task.WithExtension(f.task.GetOutputPath(), ".Log"), "D:\\Backup 2024.01.05 6\\Documents Nightly 0907.Log");
  EXPECT_EQ(f.task.WithExtension(f.task.GetDuplicatePath(), ".Err"), "E:\\Copy\\docs 2024.01.05.Err");
}

TEST(ActiveTaskNaming, FolderAndNameRulesInBothStyles) {
  struct Case {
    const char* what;
    PathStyle style;
    const char* folder;
    const char* fileName;
    bool folderDate;
    bool byHand;
    const char* expected;
  };
  const Case cases[] = {
      {"empty folder", PathStyle::Windows, "", "", false, true, "c:\\mentes\\Documents.Zip"},
      {"blanks only", PathStyle::Windows, " \t ", "", false, true, "Documents.Zip"},
      {"drive root with date", PathStyle::Windows, "C:\\", "", true, true, "C:\\ 2024.01.05\\Documents.Zip"},
      {"name with extension", PathStyle::Windows, "D:\\B", "week.zip", false, true, "D:\\B\\week.zip.Zip"},
      {"by entry", PathStyle::Windows, "D:\\B", "", false, false, "D:\\B\\Documents Nightly.Zip"},
      {"posix trailing slash", PathStyle::Posix, " /srv/backup/ ", "", true, true, "/srv/backup 2024.01.05/Documents.Zip"},
      {"posix root", PathStyle::Posix, "/", "", false, true, "/Documents.Zip"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    NamingFixture f(c.style);
    f.Output().OutputFolder = c.folder;
    f.Output().FileName = c.fileName;
    f.Output().OutputFolderDate = c.folderDate;
    if (c.byHand) f.task.TimerIndex = -1;
    EXPECT_EQ(f.task.GetOutputPath(), c.expected);
  }
}

TEST(ActiveTaskNaming, LogNameOfANameWithExtensionAndAllDecorations) {
  NamingFixture f(PathStyle::Posix);
  f.Output().OutputFolder = "/b";
  f.Output().FileName = "week.zip";
  EXPECT_EQ(f.task.WithExtension(f.task.GetOutputPath(), ".Log"), "/b/week.zip.Log");
  f.Output().FileName = "";
  f.Output().OutputFolderMonthDay = true;
  f.Output().FileNameDate = true;
  f.Output().FileNameTime = true;
  f.Output().FileNameWeekDay = true;
  f.Output().FileNameMonthDay = true;
  EXPECT_EQ(f.task.GetOutputPath(), "/b 5/Documents Nightly 2024.01.05 0907 6 5.Zip");
  // The work folder takes no date or time, but the weekday and month day.
  f.Output().OutputFolderDate = true;
  f.Output().OutputFolderTime = true;
  f.Output().Temp = "/tmp/w";
  EXPECT_EQ(f.task.GetWorkPath(), "/tmp/w 5/Documents Nightly 2024.01.05 0907 6 5.Zip");
}

TEST(ActiveTaskNaming, ActiveOutputWorkAndDuplicateRules) {
  NamingFixture f(PathStyle::Posix);
  f.Output().OutputFolder = "/job";
  TZkThreadSaveTimering& entry = f.task.TimerList().Items(0);
  entry.DefineOutput().OutputFolder = "/entry";
  EXPECT_EQ(&f.task.ActiveOutput(), &f.task.DefineOutput());
  EXPECT_EQ(f.task.GetOutputPath(), "/job/Documents Nightly.Zip");
  entry.SetExtendedSaving(true);
  EXPECT_EQ(f.task.GetOutputPath(), "/entry/Documents Nightly.Zip");
  f.task.TimerIndex = -1;
  EXPECT_EQ(f.task.GetOutputPath(), "/job/Documents.Zip");

  f.Output().Temp = "/work";
  EXPECT_TRUE(f.task.UsesWorkFolder());
  EXPECT_EQ(f.task.GetWorkPath(), "/work/Documents.Zip");
  f.Output().PackMode = TZkSaveMode::tmCopy;
  EXPECT_EQ(f.task.GetWorkPath(), f.task.GetOutputPath());

  f.Output().DuplicateFileName = "dup";
  EXPECT_FALSE(f.task.UsesDuplicate());
  EXPECT_EQ(f.task.GetDuplicatePath(), "");
  f.Output().DuplicateFolder = "/copy/";
  EXPECT_EQ(f.task.GetDuplicatePath(), "/copy/dup.Zip");
  f.Output().CreateLogFile = true;
  EXPECT_TRUE(f.task.WantsLog());
  EXPECT_FALSE(f.task.WantsErrorFile());
}

TEST(ActiveTaskNaming, PosixDefaultFolderIsMentesInTheHomeFolder) {
  const char* saved = std::getenv("HOME");
  const std::string home = saved != nullptr ? saved : "";
  setenv("HOME", "/home/anna", 1);
  NamingFixture f(PathStyle::Posix);
  f.task.TimerIndex = -1;
  EXPECT_EQ(f.task.GetOutputPath(), "/home/anna/mentes/Documents.Zip");
  EXPECT_EQ(DefaultTargetFolder(PathStyle::Windows), "c:\\mentes");
  if (saved != nullptr)
    setenv("HOME", home.c_str(), 1);
  else
    unsetenv("HOME");
}

TEST(ActiveTaskNaming, CopyModeRelativePaths) {
  const struct {
    const char* path;
    PathStyle style;
    const char* relative;
  } cases[] = {
      {"C:\\Data\\a.txt", PathStyle::Windows, "C\\Data\\a.txt"},
      {"\\\\server\\share\\a.txt", PathStyle::Windows, "\\\\server\\share\\a.txt"},
      {"C:a:b.txt", PathStyle::Windows, "C\\a\\b.txt"},
      {"/home/anna/a:b.txt", PathStyle::Posix, "home/anna/a:b.txt"},
      {"//srv/x", PathStyle::Posix, "srv/x"},
  };
  for (const auto& c : cases) EXPECT_EQ(CopyModeRelativePath(c.path, c.style), c.relative) << c.path;
}

}  // namespace
}  // namespace zk::test
