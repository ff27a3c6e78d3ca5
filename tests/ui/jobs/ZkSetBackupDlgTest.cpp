#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>

#include <filesystem>
#include <string>
#include <vector>

#include "base/ZkError.h"
#include "store/ZkTreeData.h"
#include "support/ZkTempDir.h"
#include "ui/app/ZkQtText.h"
#include "ui/jobs/ZkSetBackupDlg.h"

namespace zk::ui {
namespace {

constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

// A job file of jobs that carry only their name and their place in the file
// ("Nr"), so that a listing shows which of two equal names was acted on.
std::string NumberedJobFile(const std::vector<std::string>& names) {
  std::string xml = std::string(kDeclaration) + "<Saving>";
  for (std::size_t i = 0; i < names.size(); ++i)
    xml += "<Item Name=\"" + names[i] + "\"><Nr>" + std::to_string(i) + "</Nr></Item>";
  return xml + "</Saving>";
}

// The jobs of a job file on disk as "name:Nr" ("name:" for a job without Nr).
std::vector<std::string> JobsOnDisk(const std::string& path) {
  TZkTreeData document;
  document.LoadFromFile(path);
  std::vector<std::string> jobs;
  const TZkTreeDataNode* saving = document.Root().FindNode("Saving");
  if (saving == nullptr) return jobs;
  for (int i = 0; i < saving->Nodes().Count(); ++i) {
    const TZkTreeDataNode& job = saving->Nodes().Items(i);
    const TZkTreeAttribute* name = job.FindAttribute("Name");
    jobs.push_back((name != nullptr ? name->Value() : "<none>") + ":" + job.ChildValue("Nr", ""));
  }
  return jobs;
}

std::vector<std::string> NamesOf(const std::vector<std::string>& listing) {
  std::vector<std::string> names;
  for (const std::string& job : listing) names.push_back(job.substr(0, job.rfind(':')));
  return names;
}

void SetClipboardText(const std::string& text) { QGuiApplication::clipboard()->setText(ToQString(text)); }
std::string ClipboardText() { return ToUtf8(QGuiApplication::clipboard()->text()); }

// ------------------------------------------------------------ by name

enum class TOperation { NewSavingName, IndexOfSaving, AddSaving, RenameSaving, DeleteSaving, Select, FileName };

struct TByNameCase {
  const char* label;
  std::vector<std::string> jobs;  // the job file, in order
  std::string select;             // Select before the operation
  TOperation operation;
  std::string argument;
  std::string secondArgument;
  // The result of NewSavingName or IndexOfSaving, the error message, or empty.
  // "{dir}" stands for the job file's folder.
  std::string expected;
  std::vector<std::string> jobsAfter;  // the job file afterwards, "name:Nr"
  std::string selectAfter;
};

std::string RunOperation(TZkSetBackupDlg& jobs, const TByNameCase& c, const test::TempDir& dir) {
  switch (c.operation) {
    case TOperation::NewSavingName:
      return jobs.NewSavingName(c.argument);
    case TOperation::IndexOfSaving:
      return std::to_string(jobs.IndexOfSaving(c.argument));
    case TOperation::AddSaving:
      jobs.AddSaving(c.argument);
      break;
    case TOperation::RenameSaving:
      jobs.RenameSaving(c.argument, c.secondArgument);
      break;
    case TOperation::DeleteSaving:
      jobs.DeleteSaving(c.argument);
      break;
    case TOperation::Select:
      jobs.SetSelect(c.argument);
      break;
    case TOperation::FileName:
      jobs.SetFileName(dir / c.argument);
      break;
  }
  return {};
}

std::string WithFolder(std::string text, const test::TempDir& dir) {
  if (const std::size_t at = text.find("{dir}"); at != std::string::npos) text.replace(at, 5, dir.Path().string());
  return text;
}

// Every operation that takes a job name, on a real job file: the name is
// matched ignoring the case of A to Z only, the later of two equal names
// is the job acted on, and a refused operation leaves the file, the list
// and Select as they were.
TEST(ZkSetBackupDlg, OperationsByName) {
  using enum TOperation;
  const std::vector<TByNameCase> cases = {
      {"next number after the ones taken", {"Mentés", "Mentés (1)"}, "", NewSavingName, "Mentés", "", "Mentés (2)",
       {"Mentés:0", "Mentés (1):1"}, ""},
      {"a free name is kept", {"Napi"}, "", NewSavingName, "Mentés", "", "Mentés", {"Napi:0"}, ""},
      {"numbering starts again at 1", {"Napi (3)"}, "", NewSavingName, "Napi (3)", "", "Napi (1)", {"Napi (3):0"}, ""},
      {"the first free number, case of A to Z ignored",
       {"Napi (3)", "napi (1)", "NAPI (2)"}, "", NewSavingName, "Napi (3)", "", "Napi (4)",
       {"Napi (3):0", "napi (1):1", "NAPI (2):2"}, ""},
      {"whatever stands in the brackets", {"Heti (x)"}, "", NewSavingName, "Heti (x)", "", "Heti (1)",
       {"Heti (x):0"}, ""},
      {"accented letters are no case of each other", {"MENTÉS"}, "", NewSavingName, "mentés", "", "mentés",
       {"MENTÉS:0"}, ""},
      {"the later of two equal names is found", {"Napi", "Heti", "napi"}, "", IndexOfSaving, "NAPI", "", "2",
       {"Napi:0", "Heti:1", "napi:2"}, ""},
      {"no such job", {"Napi"}, "", IndexOfSaving, "Napik", "", "-1", {"Napi:0"}, ""},
      {"a new job is written at once", {"Napi"}, "", AddSaving, "Új mentés", "", "", {"Napi:0", "Új mentés:"}, ""},
      {"a new job under a taken name", {"Napi"}, "", AddSaving, "NAPI", "", "Már létező mentés (NAPI)", {"Napi:0"},
       ""},
      {"a rename in case only", {"Napi", "Heti"}, "Napi", RenameSaving, "Napi", "NAPI", "", {"NAPI:0", "Heti:1"},
       "NAPI"},
      {"a rename to another job's name", {"Napi", "Heti"}, "Napi", RenameSaving, "Napi", "heti",
       "Már létező mentés (heti)", {"Napi:0", "Heti:1"}, "Napi"},
      {"a rename to another job's name in capitals", {"Napi", "Heti"}, "", RenameSaving, "Napi", "HETI",
       "Már létező mentés (HETI)", {"Napi:0", "Heti:1"}, ""},
      {"a rename of a missing job", {"Napi"}, "", RenameSaving, "Heti", "Havi", "Nem létező mentés (Heti)",
       {"Napi:0"}, ""},
      {"a rename acts on the later of two equal names", {"Napi", "Heti", "NAPI"}, "Heti", RenameSaving, "napi",
       "Esti", "", {"Napi:0", "Heti:1", "Esti:2"}, "Heti"},
      {"a delete acts on the later of two equal names", {"Napi", "Heti", "napi"}, "napi", DeleteSaving, "napi", "",
       "", {"Napi:0", "Heti:1"}, ""},
      {"a delete keeps Select on another job", {"Napi", "Heti"}, "Heti", DeleteSaving, "Napi", "", "", {"Heti:1"},
       "Heti"},
      {"a delete of a missing job", {"Napi"}, "Napi", DeleteSaving, "Heti", "", "Nem létező mentés (Heti)",
       {"Napi:0"}, "Napi"},
      {"Select of a missing job", {"Napi"}, "Napi", Select, "Heti", "", "Nem létező mentés (Heti)", {"Napi:0"},
       "Napi"},
      {"the job file set again", {"Napi"}, "Napi", FileName, "jobs.xml", "", "", {"Napi:0"}, "Napi"},
      {"a missing job file", {"Napi", "Heti"}, "Heti", FileName, "nincs.xml", "", "Nem létező file {dir}/nincs.xml",
       {"Napi:0", "Heti:1"}, "Heti"},
  };
  for (const TByNameCase& c : cases) {
    SCOPED_TRACE(c.label);
    const test::TempDir dir;
    const std::string file = dir.Write("jobs.xml", NumberedJobFile(c.jobs));
    TZkSetBackupDlg jobs;
    jobs.SetFileName(file);
    jobs.SetSelect(c.select);

    std::string result;
    try {
      result = RunOperation(jobs, c, dir);
    } catch (const EZkError& error) {
      result = error.what();
    }

    EXPECT_EQ(result, WithFolder(c.expected, dir));
    EXPECT_EQ(JobsOnDisk(file), c.jobsAfter);
    EXPECT_EQ(jobs.GetSavingNames(), NamesOf(c.jobsAfter));
    EXPECT_EQ(jobs.Select(), c.selectAfter);
    EXPECT_EQ(jobs.FileName(), file);
    EXPECT_TRUE(jobs.IsOpen());
  }
}

// ---------------------------------------------------- copy and paste

// Three jobs with settings below them; their element texts as the job file
// holds them.
const std::string kNapi =
    "<Item Name=\"Napi\"><Disable>0</Disable><OutputFolder>/mentes</OutputFolder>"
    "<AddFiles><Item Name=\"/home/adat\"><SubDir>1</SubDir><Hidden>0</Hidden></Item></AddFiles></Item>";
const std::string kHeti =
    "<Item Name=\"Heti mentés\"><Disable>1</Disable>"
    "<BeginFuncList><Item Name=\"Pause;10\"><FuncType>0</FuncType><Param1>10</Param1></Item></BeginFuncList></Item>";
const std::string kHavi = "<Item Name=\"Havi\"><Disable>0</Disable></Item>";

std::string JobFile(const std::string& jobs) { return std::string(kDeclaration) + "<Saving>" + jobs + "</Saving>"; }

std::string Renamed(std::string job, const std::string& from, const std::string& to) {
  const std::string attribute = "Name=\"" + from + "\"";
  job.replace(job.find(attribute), attribute.size(), "Name=\"" + to + "\"");
  return job;
}

// The main window hands over its selection bottom to top; the clipboard
// then holds one document with the jobs top to bottom, complete.
TEST(ZkSetBackupDlg, CopiesJobsToTheClipboardAsOneDocument) {
  const test::TempDir dir;
  TZkSetBackupDlg jobs;
  jobs.SetFileName(dir.Write("jobs.xml", JobFile(kNapi + kHeti + kHavi)));
  SetClipboardText("régi tartalom");

  jobs.CopySavings({"HETI mentés", "Napi"});

  EXPECT_EQ(ClipboardText(), JobFile(kNapi + kHeti));
}

// Pasting into the same job list: both jobs come in under free names with
// all their settings, and the job file on disk holds them.
TEST(ZkSetBackupDlg, PastesCopiedJobsUnderFreeNamesIntoTheJobFile) {
  const test::TempDir dir;
  const std::string file = dir.Write("jobs.xml", JobFile(kNapi + kHeti + kHavi));
  TZkSetBackupDlg jobs;
  jobs.SetFileName(file);
  jobs.CopySavings({"Heti mentés", "Napi"});

  jobs.PasteSavings();

  EXPECT_EQ(test::TempDir::Read(file), JobFile(kNapi + kHeti + kHavi + Renamed(kNapi, "Napi", "Napi (1)") +
                                               Renamed(kHeti, "Heti mentés", "Heti mentés (1)")));
  EXPECT_EQ(jobs.GetSavingNames(),
            (std::vector<std::string>{"Napi", "Heti mentés", "Havi", "Napi (1)", "Heti mentés (1)"}));
}

struct TPasteCase {
  const char* label;
  std::string clipboard;
  std::string error;  // empty: none
  std::vector<std::string> jobsAfter;
};

// Clipboard text that is no job list, or a job whose name is unusable: the
// paste adds nothing; or it stops at a job without a name, and the jobs
// before it are in the file complete.
TEST(ZkSetBackupDlg, PasteOfTextThatIsNoJobList) {
  const std::vector<TPasteCase> cases = {
      {"plain text", "Napi mentés", "line 1, column 13: No document element found", {"Napi:0"}},
      {"broken XML", "<Saving><Item Name=\"Esti\"><Nr>5</Nr></Saving>",
       "line 1, column 39: Start-end tags mismatch", {"Napi:0"}},
      {"XML without jobs", "<Jobs><Item Name=\"Esti\"/></Jobs>", "", {"Napi:0"}},
      {"a job without a name",
       "<Saving><Item Name=\"Esti\"><Nr>5</Nr></Item><Item><Nr>6</Nr></Item><Item Name=\"Éjjeli\"><Nr>7</Nr></Item>"
       "</Saving>",
       "A Name attributum nem létezik !", {"Napi:0", "Esti:5"}},
      {"a name that can name no archive", "<Saving><Item Name=\"Esti\"><Nr>5</Nr></Item><Item Name=\"a/b\"/></Saving>",
       "A mentés neve nem használható: a/b", {"Napi:0"}},
      {"a pasted name that is taken", "<Saving><Item Name=\"NAPI\"><Nr>5</Nr></Item></Saving>", "",
       {"Napi:0", "NAPI (1):5"}},
  };
  for (const TPasteCase& c : cases) {
    SCOPED_TRACE(c.label);
    const test::TempDir dir;
    const std::string file = dir.Write("jobs.xml", NumberedJobFile({"Napi"}));
    TZkSetBackupDlg jobs;
    jobs.SetFileName(file);
    SetClipboardText(c.clipboard);

    std::string error;
    try {
      jobs.PasteSavings();
    } catch (const EZkError& failure) {
      error = failure.what();
    }

    EXPECT_EQ(error, c.error);
    EXPECT_EQ(JobsOnDisk(file), c.jobsAfter);
    EXPECT_EQ(jobs.GetSavingNames(), NamesOf(c.jobsAfter));
  }
}

// ------------------------------------------------- no job file open

// A job file that does not load opens nothing: every operation does
// nothing, and the file is never written over, neither when it is the
// first file nor when another one was open before.
TEST(ZkSetBackupDlg, AJobFileThatFailsToLoadIsNeverWritten) {
  const test::TempDir dir;
  const std::string broken = dir.Write("hibas.xml", "<Saving><Item Name=\"Napi\">");
  TZkSetBackupDlg jobs;

  EXPECT_THROW(jobs.SetFileName(broken), EZkXmlError);
  EXPECT_FALSE(jobs.IsOpen());
  EXPECT_EQ(jobs.AddSaving("Új"), nullptr);
  SetClipboardText(JobFile(kHavi));
  jobs.PasteSavings();
  EXPECT_TRUE(jobs.GetSavingNames().empty());
  EXPECT_EQ(test::TempDir::Read(broken), "<Saving><Item Name=\"Napi\">");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), std::filesystem::directory_iterator()),
            1);

  const std::string good = dir.Write("jobs.xml", NumberedJobFile({"Napi"}));
  jobs.SetFileName(good);
  jobs.SetSelect("Napi");
  EXPECT_THROW(jobs.SetFileName(broken), EZkXmlError);
  EXPECT_EQ(jobs.FileName(), good);
  EXPECT_EQ(jobs.Select(), "Napi");
  jobs.AddSaving("Új");
  EXPECT_EQ(JobsOnDisk(good), (std::vector<std::string>{"Napi:0", "Új:"}));
  EXPECT_EQ(test::TempDir::Read(broken), "<Saving><Item Name=\"Napi\">");
}

// With AutoSave off the job file is left alone: what changed stays in the
// document only, and setting the same file again does not reload it.
TEST(ZkSetBackupDlg, WithoutAutoSaveChangesStayInTheDocument) {
  const test::TempDir dir;
  const std::string file = dir.Write("jobs.xml", NumberedJobFile({"Napi"}));
  TZkSetBackupDlg jobs;
  jobs.SetFileName(file);
  jobs.SetAutoSave(false);

  jobs.AddSaving("Heti");
  jobs.SetFileName(file);

  EXPECT_EQ(jobs.GetSavingNames(), (std::vector<std::string>{"Napi", "Heti"}));
  EXPECT_EQ(test::TempDir::Read(file), NumberedJobFile({"Napi"}));
}

}  // namespace
}  // namespace zk::ui
