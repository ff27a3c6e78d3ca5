#include "engine/ZkJob.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/ZkError.h"
#include "engine/ZkThreadSave.h"
#include "store/ZkTreeData.h"
#include "support/ZkFakeClock.h"
#include "support/ZkTempDir.h"

namespace zk::test {
namespace {

// The job of the job-file example, as a file (comma decimal separator, the
// elements the example leaves out carry "0" or nothing).
const char* const kExampleJobFile =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    "<Saving><Item Name=\"Documents\"><Disable>0</Disable><OutputFolder>D:\\Backup</OutputFolder>"
    "<OutputFolderDate>1</OutputFolderDate><OutputFolderTime>0</OutputFolderTime>"
    "<CreateLogFile>1</CreateLogFile><PackMode>1</PackMode><FileName></FileName>"
    "<AddFiles><Item Name=\"C:\\Data\"><SubDir>1</SubDir><Hidden>1</Hidden><System>1</System></Item></AddFiles>"
    "<ExtractFiles><Item Name=\"*.tmp\"><SubDir>1</SubDir><Hidden>1</Hidden><System>1</System></Item></ExtractFiles>"
    "<TimerList><Item Name=\"Nightly\"><TimerType>0</TimerType><Date>0</Date><Time>0,916666666666667</Time>"
    "<Timer>45296,9166666667</Timer><Interval>180</Interval><Months>0</Months><Dows>0</Dows><Days>0</Days>"
    "<ExtendedSaving>0</ExtendedSaving><UpdateSaving>0</UpdateSaving><ExtendUpdateSaving>0</ExtendUpdateSaving>"
    "<PackMode>1</PackMode></Item></TimerList>"
    "<BeginFuncList></BeginFuncList><EndFuncList/></Item></Saving>";

void LoadText(TZkThreadSave& engine, const std::string& text) {
  TZkTreeData document;
  std::istringstream in(text);
  document.LoadFromStream(in);
  engine.LoadFromTree(document);
}

std::string SavedText(const TZkThreadSave& engine) {
  TZkTreeData document;
  engine.SaveToTree(document);
  std::ostringstream out;
  document.SaveToStream(out);
  return out.str();
}

// A job with every property away from its default.
void FillJob(TZkThreadSaveTask& job) {
  job.Name = "Mentés";
  job.Disable = true;
  TZkThreadDefineOutput& o = job.DefineOutput();
  o.OutputFolder = "/srv/backup";
  o.OutputFolderDate = o.OutputFolderTime = o.OutputFolderWeekDay = o.OutputFolderMonthDay = true;
  o.CreateLogFile = o.CreateErrorFile = true;
  o.PackMode = TZkSaveMode::tmCopy;
  o.FileName = "docs";
  o.FileNameDate = o.FileNameTime = o.FileNameWeekDay = o.FileNameMonthDay = true;
  o.Temp = "/tmp/work";
  o.DuplicateFolder = "/mnt/copy";
  o.DuplicateFolderDate = o.DuplicateFolderTime = o.DuplicateFolderWeekDay = o.DuplicateFolderMonthDay = true;
  o.DuplicateFileName = "dup";
  o.DuplicateFileNameDate = o.DuplicateFileNameTime = o.DuplicateFileNameWeekDay = o.DuplicateFileNameMonthDay = true;
  o.VerifyArchive = true;
  TZkThreadSaveFile& add = job.AddFiles().Add();
  add.Name = "/home/anna";
  add.SubDir = add.Hidden = add.System = false;
  job.ExtractFiles().Add().Name = "*.tmp";
  TZkThreadSaveTimering& entry = job.TimerList().Add();
  entry.SetName("Weekly");
  entry.SetTimerType(TZkSaveTimerType::ttYear);
  entry.SetDate(45296);
  entry.SetTime(0.75);
  entry.SetInterval(60);
  entry.SetMonths({TZkSaveMonth::smMarch});
  entry.SetDows({TZkSaveDow::sdSunday});
  entry.SetDays(TZkSaveDayList::FromMask(0x40000001u));
  entry.SetExtendedSaving(true);
  entry.SetUpdateSaving(true);
  entry.SetExtendUpdateSaving(true);
  entry.DefineOutput().OutputFolder = "/entry";
  job.BeginFuncList().Add().SetName("Pause;5");
  job.EndFuncList().Add().SetName("Execute;/bin/echo;done");
}

TEST(JobFile, ExampleLayoutReadsIntoTheJob) {
  TFixedClock clock(EncodeDateTime(2024, 1, 5, 9, 0, 0, 0));
  TZkThreadSave engine(clock);
  LoadText(engine, kExampleJobFile);
  ASSERT_EQ(engine.Saving().Count(), 1);
  const TZkThreadSaveTask& job = engine.Saving().Items(0);
  EXPECT_EQ(job.Name, "Documents");
  EXPECT_FALSE(job.Disable);
  EXPECT_EQ(job.DefineOutput().OutputFolder, "D:\\Backup");
  EXPECT_TRUE(job.DefineOutput().OutputFolderDate);
  EXPECT_TRUE(job.DefineOutput().CreateLogFile);
  EXPECT_EQ(job.DefineOutput().PackMode, TZkSaveMode::tmZip);
  ASSERT_EQ(job.AddFiles().Count(), 1);
  EXPECT_EQ(job.AddFiles().Items(0).Name, "C:\\Data");
  ASSERT_EQ(job.ExtractFiles().Count(), 1);
  EXPECT_EQ(job.ExtractFiles().Items(0).Name, "*.tmp");
  ASSERT_EQ(job.TimerList().Count(), 1);
  const TZkThreadSaveTimering& entry = job.TimerList().Items(0);
  EXPECT_EQ(entry.Name(), "Nightly");
  EXPECT_DOUBLE_EQ(entry.Time(), 0.916666666666667);
  EXPECT_EQ(entry.Interval(), 180);
  EXPECT_NE(entry.Timer(), 45296.9166666667);  // the stored moment is dropped
  EXPECT_EQ(job.BeginFuncList().Count(), 0);
  EXPECT_EQ(job.EndFuncList().Count(), 0);
}

TEST(JobFile, WrittenJobsReadBackEqualInTheFileOrder) {
  TZkThreadSave engine;
  FillJob(engine.Saving().Add());
  engine.Saving().Add().Name = "Second";
  const std::string text = SavedText(engine);

  TZkThreadSave read;
  LoadText(read, text);
  ASSERT_EQ(read.Saving().Count(), 2);
  EXPECT_EQ(SavedText(read), text);
  EXPECT_EQ(read.Saving().Items(0).BeginFuncList().Items(0).FuncType(), TZkSaveFunc::sePause);
  EXPECT_EQ(read.Saving().Items(0).TimerList().Items(0).Days().Mask(), 0x40000001u);

  // The element order of a job and of a schedule entry.
  TZkTreeData document;
  engine.SaveToTree(document);
  const TZkTreeDataNode& job = document.Root().Nodes().Items(0).Nodes().Items(0);
  std::vector<std::string> names;
  for (int i = 0; i < job.Nodes().Count(); ++i) names.push_back(job.Nodes().Items(i).Name());
  const std::vector<std::string> expected = {
      "Disable", "OutputFolder", "OutputFolderDate", "OutputFolderTime", "OutputFolderWeekDay",
      "OutputFolderMonthDay", "CreateLogFile", "CreateErrorFile", "PackMode", "FileName", "FileNameDate",
      "FileNameTime", "FileNameWeekDay", "FileNameMonthDay", "Temp", "DuplicateFolder", "DuplicateFolderDate",
      "DuplicateFolderTime", "DuplicateFolderWeekDay", "DuplicateFolderMonthDay", "DuplicateFileName",
      "DuplicateFileNameDate", "DuplicateFileNameTime", "DuplicateFileNameWeekDay", "DuplicateFileNameMonthDay",
      "VerifyArchive", "KeepCount", "RemoteTarget", "AddFiles", "ExtractFiles", "TimerList", "BeginFuncList",
      "EndFuncList"};
  EXPECT_EQ(names, expected);
  EXPECT_EQ(job.FindAttribute("Name")->Value(), "Mentés");
  const TZkTreeDataNode& entry = job.FindNode("TimerList")->Nodes().Items(0);
  std::vector<std::string> entryNames;
  for (int i = 0; i < 12; ++i) entryNames.push_back(entry.Nodes().Items(i).Name());
  EXPECT_EQ(entryNames, (std::vector<std::string>{"TimerType", "Date", "Time", "Timer", "Interval", "Months", "Dows",
                                                  "Days", "ExtendedSaving", "UpdateSaving", "ExtendUpdateSaving",
                                                  "OutputFolder"}));
  EXPECT_EQ(entry.Nodes().Count(), 11 + 27);
  const TZkTreeDataNode& action = job.FindNode("EndFuncList")->Nodes().Items(0);
  EXPECT_EQ(action.FindAttribute("Name")->Value(), "Execute;/bin/echo;done");
  EXPECT_EQ(action.ChildValue("FuncType", ""), "2");
}

TEST(JobFile, MissingElementsKeepDefaultsAndTagsAndCaseAreNotChecked) {
  TZkThreadSave engine;
  LoadText(engine,
           "<saving><job Name='Bare'/>"
           "<item name='Other'><disable>2</disable><ADDFILES><x Name='/data'/></ADDFILES>"
           "<Extractfiles/><pAcKmOdE>0</pAcKmOdE></item>"
           "<Item Name='Words'><Disable>True</Disable></Item></saving>");
  ASSERT_EQ(engine.Saving().Count(), 3);
  const TZkThreadSaveTask& bare = engine.Saving().Items(0);
  EXPECT_EQ(bare.Name, "Bare");
  EXPECT_FALSE(bare.Disable);
  EXPECT_EQ(bare.DefineOutput().PackMode, TZkSaveMode::tmZip);
  EXPECT_EQ(bare.DefineOutput().OutputFolder, "");
  EXPECT_EQ(bare.AddFiles().Count(), 0);
  const TZkThreadSaveTask& other = engine.Saving().Items(1);
  EXPECT_EQ(other.Name, "Other");
  EXPECT_TRUE(other.Disable);
  EXPECT_EQ(other.DefineOutput().PackMode, TZkSaveMode::tmCopy);
  ASSERT_EQ(other.AddFiles().Count(), 1);
  const TZkThreadSaveFile& spec = other.AddFiles().Items(0);
  EXPECT_EQ(spec.Name, "/data");
  EXPECT_TRUE(spec.SubDir && spec.Hidden && spec.System);
  EXPECT_FALSE(engine.Saving().Items(2).Disable);  // "True" is no number

  // Without a "Saving" element the list stays; an empty one empties it.
  LoadText(engine, "<Other/>");
  EXPECT_EQ(engine.Saving().Count(), 3);
  LoadText(engine, "<Saving/>");
  EXPECT_EQ(engine.Saving().Count(), 0);
}

TEST(JobFile, ActionsReadTheirTextFirstAndTheElementsOnTop) {
  TZkThreadSave engine;
  LoadText(engine,
           "<Saving><Item Name='A'><BeginFuncList><Item Name='Execute;/bin/a;-x'><Param2>-y</Param2></Item>"
           "<Item Name='PAUSE;3'><FuncType>6</FuncType></Item></BeginFuncList></Item></Saving>");
  const TZkThreadSaveFuncs& funcs = engine.Saving().Items(0).BeginFuncList();
  ASSERT_EQ(funcs.Count(), 2);
  EXPECT_EQ(funcs.Items(0).Name(), "Execute;/bin/a;-y");
  EXPECT_EQ(funcs.Items(1).FuncType(), TZkSaveFunc::seServiceStop);
  EXPECT_EQ(funcs.Items(1).Param1(), "3");
}

TEST(JobList, FindByNameTakesTheLastMatchFoldingOnlyAsciiCase) {
  TZkThreadSaveTasks jobs;
  jobs.Add().Name = "Docs";
  jobs.Add().Name = "DOCS";
  jobs.Add().Name = "Ábel";
  EXPECT_EQ(jobs.IndexOfName("docs"), 1);
  EXPECT_EQ(jobs.FindByName("dOcS"), &jobs.Items(1));
  EXPECT_EQ(jobs.IndexOfName("ábel"), -1);
  EXPECT_EQ(jobs.IndexOfName("ÁBEL"), 2);
  EXPECT_EQ(jobs.FindByName("nobody"), nullptr);
}

TEST(JobCopy, CopiesEverythingIntoTheJobsOwnObjects) {
  TZkThreadSaveTask source;
  FillJob(source);
  source.StartNow();
  TZkThreadActiveTask copy;
  copy.Assign(source);
  EXPECT_TRUE(copy.RunNow());
  EXPECT_EQ(copy.Name, "Mentés");
  EXPECT_TRUE(copy.Disable);
  for (const TPropInfo& p : TZkThreadDefineOutput::ClassProperties())
    EXPECT_EQ(p.Get(copy.DefineOutput()), p.Get(source.DefineOutput())) << p.Name;
  EXPECT_EQ(copy.DefineOutput().Owner(), &copy);
  ASSERT_EQ(copy.AddFiles().Count(), 1);
  EXPECT_NE(&copy.AddFiles().Items(0), &source.AddFiles().Items(0));
  EXPECT_FALSE(copy.AddFiles().Items(0).SubDir);
  EXPECT_EQ(copy.ExtractFiles().Items(0).Name, "*.tmp");
  EXPECT_EQ(copy.TimerList().Items(0).Timer(), source.TimerList().Items(0).Timer());
  EXPECT_EQ(copy.EndFuncList().Items(0).Param2(), "done");

  TZkThreadDefineOutput other;
  other.OutputFolder = "/other";
  TZkThreadDefineOutput* own = &copy.DefineOutput();
  copy.SetDefineOutput(other);
  EXPECT_EQ(&copy.DefineOutput(), own);
  EXPECT_EQ(copy.DefineOutput().OutputFolder, "/other");

  TZkThreadSaveFile file;
  EXPECT_THROW(copy.Assign(file), EZkConvertError);
  EXPECT_THROW(file.Assign(copy), EZkConvertError);
}

TEST(JobFile, LoadFromFileRecomputesTimersAndKeepsJobsOnFailure) {
  TempDir dir;
  TFixedClock clock(EncodeDateTime(2024, 1, 5, 9, 0, 0, 0));
  TZkThreadSave engine(clock);
  const std::string path = dir.Write("Backup.Xml", kExampleJobFile);
  engine.LoadFromFile(path);
  ASSERT_EQ(engine.Saving().Count(), 1);
  // Daily at 22:00, loaded at 09:00: tonight.
  EXPECT_NEAR(engine.Saving().Items(0).TimerList().Items(0).Timer(), EncodeDateTime(2024, 1, 5, 22, 0, 0, 0), 1e-6);

  const std::string saved = dir / "Saved.Xml";
  engine.SaveToFile(saved);
  TZkThreadSave again(clock);
  again.LoadFromFile(saved);
  EXPECT_EQ(SavedText(again), SavedText(engine));

  dir.Write("Broken.Xml", "<Saving><Item>");
  EXPECT_THROW(engine.LoadFromFile(dir / "Broken.Xml"), EZkXmlError);
  EXPECT_THROW(engine.LoadFromFile(dir / "Missing.Xml"), EZkFileOpenError);
  EXPECT_EQ(engine.Saving().Count(), 1);
}

}  // namespace
}  // namespace zk::test
