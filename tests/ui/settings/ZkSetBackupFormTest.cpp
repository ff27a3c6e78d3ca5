// The job settings window driven as a user drives it: typing, clicking,
// selecting, keys, drops and the dialogs answered, with the job file read
// back from the disk after each step.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/ZkError.h"
#include "base/ZkText.h"
#include "engine/ZkThreadSave.h"
#include "platform/ZkClock.h"
#include "platform/ZkFakeServiceControl.h"
#include "store/ZkTreeData.h"
#include "support/ZkDialogAnswer.h"
#include "support/ZkEnvironmentVariable.h"
#include "support/ZkGuiWait.h"
#include "support/ZkRcloneServer.h"
#include "support/ZkTempDir.h"
#include "ui/app/ZkQtText.h"
#include "ui/controls/CheckListBox.h"
#include "ui/controls/RadioGroup.h"
#include "ui/controls/SpinEdit.h"
#include "ui/controls/TimePicker.h"
#include "ui/controls/ZkCheckBox.h"
#include "ui/controls/ZkTreeView.h"
#include "ui/jobs/ZkSetBackupDlg.h"
#include "ui/services/ZkServiceDlg.h"
#include "ui/settings/ZkBinding.h"
#include "ui/settings/ZkSetBackupForm.h"

namespace zk::ui {
namespace {

class TNoSleeper final : public platform::TZkSleeper {
public:
  void Sleep(int) override {}
};

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

std::string JobFile(const std::string& job) { return kDeclaration + "<Saving>" + job + "</Saving>"; }

// A job with its include list, each entry named.
std::string JobWith(const std::string& list, const std::vector<std::string>& names, const std::string& more = {}) {
  std::string xml = "<Item Name=\"Napi\">" + more + "<" + list + ">";
  for (const std::string& name : names) xml += "<Item name=\"" + name + "\"/>";
  return xml + "</" + list + "></Item>";
}

// The user types into the next input box and confirms it (or cancels);
// `then` prepares the answer to the dialog that comes next.
void AnswerInput(const QString& text, bool ok = true, std::function<void()> then = {}) {
  test::AnswerNextDialog([text, ok, then](QWidget& dialog) {
    auto* box = qobject_cast<QInputDialog*>(&dialog);
    ASSERT_NE(box, nullptr) << dialog.metaObject()->className();
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Backup"));
    auto* field = box->findChild<QLineEdit*>();
    field->selectAll();
    QTest::keyClicks(field, text);
    if (then) then();
    if (ok) {
      box->accept();
    } else {
      box->reject();
    }
  });
}

// The user types a file's path into the open-file dialog and confirms it.
void AnswerFile(const std::string& path, std::function<void()> then = {}) {
  test::AnswerNextDialog([path, then](QWidget& dialog) {
    ASSERT_NE(qobject_cast<QFileDialog*>(&dialog), nullptr) << dialog.metaObject()->className();
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QApplication::setActiveWindow(&dialog);
    name->setFocus();
    name->setText(ToQString(path));
    if (then) then();
    QTest::keyClick(name, Qt::Key_Return);
  });
}

// Records the text of the next message box and closes it.
void AnswerMessage(QString& text) {
  test::AnswerNextDialog([&text](QWidget& dialog) {
    text = test::MessageBoxText(dialog);
    test::ClickButton(dialog, QStringLiteral("OK"));
  });
}

class SetBackupFormTest : public ::testing::Test {
protected:
  SetBackupFormTest() { manager_.AddService("Spooler", "Nyomtatásisor-kezelő", platform::kServiceRunning); }
  ~SetBackupFormTest() override {
    if (TZkSetBackupForm* open = jobs_.Form()) open->close();
  }

  TZkSetBackupForm& Open(const std::string& job) {
    dir_.Write("Backup.Xml", JobFile(job));
    jobs_.SetFileName(Path());
    jobs_.SetSelect("Napi");
    TZkSetBackupForm& form = jobs_.OpenWindow();
    form.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
    return form;
  }

  std::string Path() const { return dir_ / "Backup.Xml"; }

  // The job as the file on disk has it.
  TZkTreeDataNode& JobOnDisk() {
    disk_.LoadFromFile(Path());
    return disk_.Root().FindNode("Saving")->Nodes().Items(0);
  }
  std::string Stored(const std::string& key) { return JobOnDisk().ChildValue(key, "<none>"); }
  // The entry names of a list of the job on disk.
  std::vector<std::string> StoredList(const std::string& list) {
    std::vector<std::string> names;
    const TZkTreeDataNode* node = JobOnDisk().FindNode(list);
    if (node == nullptr) return names;
    for (int i = 0; i < node->Nodes().Count(); ++i) names.push_back(node->Nodes().Items(i).FindAttribute("name")->Value());
    return names;
  }

  template <class T = QWidget>
  T& Find(const char* name) {
    auto* widget = jobs_.Form()->findChild<T*>(QLatin1String(name));
    EXPECT_NE(widget, nullptr) << name;
    return *widget;
  }
  TZkTreeView& List(const char* name) { return Find<TZkTreeView>(name); }
  static std::vector<std::string> Entries(const TZkTreeView& list) {
    std::vector<std::string> names;
    for (int i = 0; i < list.topLevelItemCount(); ++i) names.push_back(ToUtf8(list.topLevelItem(i)->text(0)));
    return names;
  }

  // Shows the page of a control, as the user clicks the tabs to it.
  void ShowPageOf(QWidget& control) {
    for (QWidget* child = &control; child->parentWidget() != nullptr; child = child->parentWidget()) {
      QWidget* stack = child->parentWidget();
      if (auto* tabs = qobject_cast<QTabWidget*>(stack != nullptr ? stack->parentWidget() : nullptr))
        tabs->setCurrentWidget(child);
    }
  }

  // Clicks the command's toolbar button, or its menu entry when it has no
  // button, as the user does.
  void Run(const char* command) {
    QAction& action = jobs_.Form()->Command(QLatin1String(command));
    for (QToolButton* button : jobs_.Form()->findChildren<QToolButton*>()) {
      if (button->defaultAction() == &action) {
        ShowPageOf(*button);
        QTest::mouseClick(button, Qt::LeftButton);
        return;
      }
    }
    ASSERT_TRUE(action.isEnabled()) << command;
    action.trigger();
  }

  void Check(const char* name) {
    auto& box = Find<TZkCheckBox>(name);
    ShowPageOf(box);
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(6, box.height() / 2));
  }

  void Choose(const char* group, const QString& item) {
    auto& radio = Find<RadioGroup>(group);
    ShowPageOf(radio);
    for (QRadioButton* button : radio.findChildren<QRadioButton*>())
      if (button->text() == item) QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
  }

  void Select(TZkTreeView& list, int index) {
    ShowPageOf(list);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.topLevelItem(index)).center());
  }

  test::TempDir dir_;
  platform::TZkFakeServiceControl manager_;
  TNoSleeper sleeper_;
  TZkServiceContext context_{manager_, sleeper_};
  TZkSetBackupDlg jobs_{context_};
  TZkTreeData disk_;
};

// ------------------------------------------------------------ general page

TEST_F(SetBackupFormTest, AJobWithOnlyItsNameGetsItsDefaultsAndTheFiveListsOnOpening) {
  TZkSetBackupForm& form = Open("<Item Name=\"Napi\"/>");
  // Loading writes nothing to the disk and leaves the document unchanged.
  EXPECT_EQ(Stored("PackMode"), "<none>");
  EXPECT_FALSE(jobs_.Document().Modified());

  Check("CreateLogFile");
  TZkTreeDataNode& job = JobOnDisk();
  EXPECT_EQ(job.ChildValue("PackMode", ""), "1");
  EXPECT_EQ(job.ChildValue("CreateLogFile", ""), "1");
  for (const char* list : {"AddFiles", "ExtractFiles", "TimerList", "BeginFuncList", "EndFuncList"}) {
    ASSERT_NE(job.FindNode(list), nullptr) << list;
    EXPECT_EQ(job.FindNode(list)->Value(), "Item") << list;
  }
  // The list pages' detail controls were loaded from the job node first.
  for (const char* key : {"SubDir", "Hidden", "System"}) EXPECT_EQ(job.ChildValue(key, ""), "1") << key;
  EXPECT_EQ(job.ChildValue("Interval", ""), "180");

  auto& general = Find<QTabWidget>("GeneralPages");
  EXPECT_TRUE(general.isTabVisible(general.indexOf(&Find("TabSheet15"))));
  EXPECT_EQ(Find<RadioGroup>("PackMode").ItemIndex(), 1);
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Tarnel backup"));
}

TEST_F(SetBackupFormTest, NoCompressionHidesTheDuplicateAndDisablesTheArchiveName) {
  Open("<Item Name=\"Napi\"/>");
  Choose("PackMode", QStringLiteral("Nincs tömörítés"));
  EXPECT_EQ(Stored("PackMode"), "0");
  auto& general = Find<QTabWidget>("GeneralPages");
  EXPECT_FALSE(general.isTabVisible(general.indexOf(&Find("TabSheet15"))));
  for (const char* name :
       {"OutputFileName", "FilenameTime", "FileNameDate", "ZkFolderEdit2", "VerifyArchive", "KeepCount"})
    EXPECT_FALSE(Find(name).isEnabled()) << name;
  for (const char* name : {"FileNameWeekDay", "FileNameMonthDay", "OtputFolder", "OutputPathTime"})
    EXPECT_TRUE(Find(name).isEnabled()) << name;

  Choose("PackMode", QStringLiteral("Zip tömörítés"));
  EXPECT_EQ(Stored("PackMode"), "1");
  EXPECT_TRUE(Find("OutputFileName").isEnabled());
}

// The check of the new archive and the number of archives kept, ticked and
// typed, as the engine reads them from the job file.
TEST_F(SetBackupFormTest, VerifyArchiveAndKeepCountReachTheEngine) {
  Open("<Item Name=\"Napi\"/>");
  auto& keep = Find<SpinEdit>("KeepCount");
  EXPECT_FALSE(Find<TZkCheckBox>("VerifyArchive").isChecked());
  EXPECT_EQ(keep.value(), 0);
  EXPECT_EQ(keep.minimum(), 0);
  EXPECT_TRUE(keep.toolTip().contains(QStringLiteral("0: mind megmarad")));
  Check("VerifyArchive");
  ShowPageOf(keep);
  keep.selectAll();
  QTest::keyClicks(&keep, QStringLiteral("7"));
  EXPECT_EQ(Stored("VerifyArchive"), "1");
  EXPECT_EQ(Stored("KeepCount"), "7");

  TZkThreadSaveTasks read;
  ReadJobFile(Path(), read);
  ASSERT_EQ(read.Count(), 1);
  EXPECT_TRUE(read.Items(0).DefineOutput().VerifyArchive);
  EXPECT_EQ(read.Items(0).DefineOutput().KeepCount, 7);

  // Back to 0 and unticked: every archive stays, nothing is read back.
  Check("VerifyArchive");
  keep.selectAll();
  QTest::keyClick(&keep, Qt::Key_0);
  TZkThreadSaveTasks again;
  ReadJobFile(Path(), again);
  EXPECT_FALSE(again.Items(0).DefineOutput().VerifyArchive);
  EXPECT_EQ(again.Items(0).DefineOutput().KeepCount, 0);
}

TEST_F(SetBackupFormTest, TaskDisableUpdatesTheStoredDisableWhateverItsCase) {
  Open("<Item Name=\"Napi\"><Disable>0</Disable></Item>");
  Check("TaskDisableCheck");
  TZkTreeDataNode& job = JobOnDisk();
  EXPECT_EQ(job.ChildValue("Disable", ""), "1");
  int named = 0;
  for (int i = 0; i < job.Nodes().Count(); ++i) named += SameText(job.Nodes().Items(i).Name(), "disable") ? 1 : 0;
  EXPECT_EQ(named, 1);
}

TEST_F(SetBackupFormTest, EveryKeystrokeIsInTheFileAtOnce) {
  Open("<Item Name=\"Napi\"/>");
  auto& field = Find<QWidget>("OutputFileName");
  ShowPageOf(field);
  QTest::keyClicks(&field, QStringLiteral("Heti"));
  EXPECT_EQ(Stored("FileName"), "Heti");
  QTest::keyClick(&field, Qt::Key_Backspace);
  EXPECT_EQ(Stored("FileName"), "Het");
}

// The remote target's buttons run rclone; without it they say so.
TEST_F(SetBackupFormTest, TheRemoteTargetIsStoredAndItsButtonsAnswerWithRcloneOrWithout) {
  Open("<Item Name=\"Napi\"/>");
  auto& field = Find<QWidget>("RemoteTarget");
  ShowPageOf(field);
  const std::string served = dir_ / "served";
  dir_.Write("served/a.Zip", "a");
  dir_.Write("served/b.Zip", "b");
  QTest::keyClicks(&field, ToQString(served));
  EXPECT_EQ(Stored("RemoteTarget"), served);

  struct Case {
    const char* what;
    const char* button;
    bool rclone;
    QString text;
  };
  const QString missing = QStringLiteral("Az rclone nincs telepítve. Telepítse az rclone csomagot, "
                                         "és egyszer állítsa be a távoli helyet (rclone config).");
  const Case cases[] = {
      {"the target's two files", "RemoteTest", true, QStringLiteral("A távoli hely elérhető (2 fájl).")},
      {"no rclone to list with", "RemoteList", false, missing},
      {"no rclone to test with", "RemoteTest", false, missing},
  };
  const bool installed = std::system("rclone version >/dev/null 2>&1") == 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.rclone && !installed) continue;
    test::TEnvironmentVariable path("PATH");
    if (!c.rclone) path.Set((dir_ / "nothing").c_str());
    QString text;
    AnswerMessage(text);
    QTest::mouseClick(&Find<QPushButton>(c.button), Qt::LeftButton);
    ZK_WAIT_FOR(!text.isEmpty());
    EXPECT_EQ(text, c.text);
  }
}

// rclone against a remote that refuses (nothing listens on its port) takes
// seconds to give up; meanwhile the window goes on and the button waits.
TEST_F(SetBackupFormTest, TheConnectionTestLeavesTheWindowResponsiveWhileRcloneTries) {
  if (!test::HaveRclone()) GTEST_SKIP() << "rclone is not installed";
  const test::TEnvironmentVariable config("RCLONE_CONFIG", dir_ / "rclone.conf");
  const test::TEnvironmentVariable type("RCLONE_CONFIG_DEAD_TYPE", "webdav");
  const test::TEnvironmentVariable url("RCLONE_CONFIG_DEAD_URL",
                                       "http://127.0.0.1:" + std::to_string(test::FreePort()));
  Open("<Item Name=\"Napi\"/>");
  auto& field = Find<QWidget>("RemoteTarget");
  ShowPageOf(field);
  QTest::keyClicks(&field, QStringLiteral("dead:mentes"));
  auto& button = Find<QPushButton>("RemoteTest");
  int ticksWhileTrying = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ticksWhileTrying += button.isEnabled() ? 0 : 1; });
  timer.start(50);
  QString text;
  test::AnswerNextDialog(
      [&text](QWidget& dialog) {
        text = test::MessageBoxText(dialog);
        test::ClickButton(dialog, QStringLiteral("OK"));
      },
      60000);
  QTest::mouseClick(&button, Qt::LeftButton);
  EXPECT_FALSE(button.isEnabled());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !text.isEmpty(); }, 60000));
  EXPECT_TRUE(text.startsWith(QStringLiteral("A távoli hely nem érhető el: "))) << ToUtf8(text);
  // rclone tries for seconds: many ticks of 50 ms came meanwhile.
  EXPECT_GE(ticksWhileTrying, 10);
  EXPECT_TRUE(button.isEnabled());
}

// A time is stored as the fraction of the day in the locale's number
// format and read back with either separator.
TEST_F(SetBackupFormTest, TimeIsWrittenInTheLocaleFormatAndReadWithEitherSeparator) {
  const struct {
    TFormatSettings Settings;
    const char* Written;
  } cases[] = {{TFormatSettings::Hungarian(), "0,5"}, {TFormatSettings::English(), "0.5"}};
  for (const auto& c : cases) {
    jobs_.SetFileName({});
    jobs_.SetFormatSettings(c.Settings);
    Open(JobWith("TimerList", {"Reggel"}));
    auto& time = Find<TimePicker>("TimerTime");
    time.setTime(QTime(12, 0));
    EXPECT_EQ(JobOnDisk().FindNode("TimerList")->Nodes().Items(0).ChildValue("Time", ""), c.Written);
    jobs_.Form()->close();
  }
  for (const char* stored : {"0,75", "0.75"}) {
    jobs_.SetFileName({});
    Open("<Item Name=\"Napi\"><TimerList><Item name=\"Este\"><Time>" + std::string(stored) +
         "</Time></Item></TimerList></Item>");
    EXPECT_EQ(Find<TimePicker>("TimerTime").time(), QTime(18, 0)) << stored;
    jobs_.Form()->close();
  }
}

// A hand-edited job file whose number a spin edit cannot take: the error,
// no window, and neither the document nor the file changed.
TEST_F(SetBackupFormTest, AStoredTextASpinEditCannotTakeKeepsTheWindowClosed) {
  const std::string job = "<Item Name=\"Napi\"><TimerList><Item name=\"Óránként\"><Interval>sok</Interval>"
                          "</Item></TimerList></Item>";
  dir_.Write("Backup.Xml", JobFile(job));
  const std::string before = test::TempDir::Read(Path());
  jobs_.SetFileName(Path());
  jobs_.SetSelect("Napi");
  EXPECT_THROW(jobs_.Execute(), EZkError);
  EXPECT_EQ(jobs_.Form(), nullptr);
  EXPECT_FALSE(jobs_.Document().Modified());
  const TZkTreeDataNode& inMemory = *jobs_.FindSaving("Napi");
  EXPECT_EQ(inMemory.FindNode("PackMode"), nullptr);
  EXPECT_EQ(inMemory.FindNode("AddFiles"), nullptr);
  EXPECT_EQ(test::TempDir::Read(Path()), before);
}

TEST_F(SetBackupFormTest, ReadOnlyWritesNothing) {
  Open(JobWith("AddFiles", {"/adat"}));
  const std::string before = test::TempDir::Read(Path());
  jobs_.SetReadOnly(true);
  Check("CreateLogFile");
  Check("ZkCheckBox1");
  EXPECT_FALSE(jobs_.Form()->Command(QStringLiteral("SourceAddHand")).isEnabled());
  EXPECT_FALSE(jobs_.Form()->Command(QStringLiteral("SourceDel")).isEnabled());
  EXPECT_FALSE(Find("TabSheet14").isEnabled());
  EXPECT_EQ(test::TempDir::Read(Path()), before);

  jobs_.SetReadOnly(false);
  EXPECT_TRUE(Find("TabSheet14").isEnabled());
  EXPECT_TRUE(jobs_.Form()->Command(QStringLiteral("SourceDel")).isEnabled());
}

TEST_F(SetBackupFormTest, OptionsShowThePagesAtOnce) {
  Open("<Item Name=\"Napi\"/>");
  auto& pages = Find<QTabWidget>("PageControl1");
  jobs_.SetOptions({TBackupOption::bdShowService, TBackupOption::bdShowFiles});
  EXPECT_TRUE(pages.isTabVisible(pages.indexOf(&Find("TabSheet2"))));
  EXPECT_FALSE(pages.isTabVisible(pages.indexOf(&Find("TabSheet3"))));
  EXPECT_TRUE(pages.isTabVisible(pages.indexOf(&Find("TabSheet5"))));
  EXPECT_TRUE(pages.isTabVisible(pages.indexOf(&Find("TabSheet1"))));
}

TEST_F(SetBackupFormTest, ExecuteIsModalAndTheWindowIsFreedOnClose) {
  dir_.Write("Backup.Xml", JobFile("<Item Name=\"Napi\"/>"));
  jobs_.SetFileName(Path());
  jobs_.SetSelect("Napi");
  bool modal = false;
  test::AnswerNextDialog([&](QWidget& window) {
    modal = dynamic_cast<TZkSetBackupForm*>(&window) != nullptr && window.isModal();
    window.close();
  });
  EXPECT_TRUE(jobs_.Execute());
  EXPECT_TRUE(modal);
  ZK_WAIT_FOR(jobs_.Form() == nullptr);
}

// ------------------------------------------------------------ file lists

TEST_F(SetBackupFormTest, TypedSpecificationIsRefusedWhenAnEntryHasItInAnyCase) {
  Open(JobWith("AddFiles", {"*.dbf"}));
  QString message;
  AnswerInput(QStringLiteral("*.DBF"), true, [&message] { AnswerMessage(message); });
  Run("SourceAddHand");
  ZK_WAIT_FOR(!message.isEmpty());
  EXPECT_EQ(message, QStringLiteral("Létező név!"));
  EXPECT_EQ(StoredList("AddFiles"), (std::vector<std::string>{"*.dbf"}));

  AnswerInput(QStringLiteral("*.txt"));
  Run("SourceAddHand");
  EXPECT_EQ(StoredList("AddFiles"), (std::vector<std::string>{"*.dbf", "*.txt"}));
  EXPECT_EQ(Entries(List("SourceList")), (std::vector<std::string>{"*.dbf", "*.txt"}));
}

TEST_F(SetBackupFormTest, TheSameFileAddedTwiceIsTakenTwice) {
  const std::string file = dir_.Write("adat/jelentés.doc", "x");
  Open(JobWith("AddFiles", {}));
  for (int i = 0; i < 2; ++i) {
    AnswerFile(file);
    Run("SourceAddFile");
  }
  EXPECT_EQ(StoredList("AddFiles"), (std::vector<std::string>{file, file}));
  EXPECT_EQ(EntryImage(*List("SourceList").topLevelItem(0)), 18);
}

TEST_F(SetBackupFormTest, DeletingTheOnlyEntryEmptiesAndDisablesItsPanel) {
  Open(JobWith("AddFiles", {"/adat"}));
  TZkTreeView& list = List("SourceList");
  Select(list, 0);
  EXPECT_TRUE(Find("SourcePanel").isEnabled());
  EXPECT_TRUE(Find<TZkCheckBox>("ZkCheckBox1").isChecked());
  QTest::keyClick(&list, Qt::Key_Delete);
  EXPECT_EQ(list.topLevelItemCount(), 0);
  EXPECT_TRUE(StoredList("AddFiles").empty());
  EXPECT_FALSE(Find("SourcePanel").isEnabled());
  EXPECT_FALSE(Find<TZkCheckBox>("ZkCheckBox1").isChecked());
}

TEST_F(SetBackupFormTest, DraggingTheFirstOfFourOntoTheThirdMovesTheDocumentNodeToo) {
  Open(JobWith("AddFiles", {"/a", "/b", "/c", "/d"}));
  TZkTreeView& list = List("SourceList");
  // What a drop of the first entry on the third does.
  list.MoveEntry(0, 2);
  const std::vector<std::string> expected{"/b", "/a", "/c", "/d"};
  EXPECT_EQ(Entries(list), expected);
  EXPECT_EQ(StoredList("AddFiles"), expected);
  // The moved entry still edits its own node.
  Select(list, 1);
  Check("ZkCheckBox2");
  EXPECT_EQ(JobOnDisk().FindNode("AddFiles")->Nodes().Items(1).ChildValue("Hidden", ""), "0");
}

TEST_F(SetBackupFormTest, DroppedFilesAreAddedInTheirOrder) {
  Open(JobWith("ExtractFiles", {}));
  const std::string first = dir_.Write("a.tmp", "");
  const std::string second = dir_.Write("b.tmp", "");
  TZkTreeView& list = List("ExtractList");
  ShowPageOf(list);
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(ToQString(first)), QUrl::fromLocalFile(ToQString(second))});
  const QPoint at = list.viewport()->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(list.viewport(), &enter);
  QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(list.viewport(), &drop);
  EXPECT_EQ(StoredList("ExtractFiles"), (std::vector<std::string>{first, second}));
  EXPECT_EQ(EntryImage(*list.topLevelItem(0)), 22);
}

// Enter edits, Insert inserts and Delete deletes the selected entry, through
// the popup menu's tags; the right button selects the entry under it.
TEST_F(SetBackupFormTest, KeysAndMouseReachTheCommandsOfTheSelectedEntry) {
  Open(JobWith("AddFiles", {"/a", "/b"}));
  TZkTreeView& list = List("SourceList");
  QWidget* viewport = list.viewport();
  ShowPageOf(list);
  QTest::mousePress(viewport, Qt::RightButton, {}, list.visualItemRect(list.topLevelItem(1)).center());
  EXPECT_EQ(list.currentItem(), list.topLevelItem(1));
  QTest::mouseRelease(viewport, Qt::RightButton, {}, list.visualItemRect(list.topLevelItem(1)).center());

  AnswerInput(QStringLiteral("/b2"));
  QTest::keyClick(&list, Qt::Key_Return);
  EXPECT_EQ(StoredList("AddFiles"), (std::vector<std::string>{"/a", "/b2"}));

  // Insert: the folder picker; a typed folder before the selected entry.
  std::filesystem::create_directories(dir_ / "uj");
  test::AnswerNextDialog([this](QWidget& dialog) {
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QApplication::setActiveWindow(&dialog);
    name->setFocus();
    name->setText(ToQString(dir_ / "uj"));
    QTest::keyClick(name, Qt::Key_Return);
  });
  QTest::keyClick(&list, Qt::Key_Insert);
  EXPECT_EQ(StoredList("AddFiles"), (std::vector<std::string>{"/a", (dir_ / "uj") + "/*.*", "/b2"}));
  EXPECT_EQ(EntryImage(*list.topLevelItem(1)), 17);

  QTest::keyClick(&list, Qt::Key_Delete);
  EXPECT_EQ(StoredList("AddFiles"), (std::vector<std::string>{"/a", (dir_ / "uj") + "/*.*"}));

  // A double click edits as Enter does.
  AnswerInput(QStringLiteral("/a"), false);
  const QPoint first = list.visualItemRect(list.topLevelItem(0)).center();
  QTest::mouseClick(viewport, Qt::LeftButton, {}, first);
  QTest::mouseDClick(viewport, Qt::LeftButton, {}, first);
  QTest::qWait(50);
  EXPECT_EQ(list.currentItem(), list.topLevelItem(0));
}

TEST_F(SetBackupFormTest, AnEditInPlaceToAnotherEntrysTextIsRefusedSilently) {
  Open(JobWith("AddFiles", {"/a", "/b"}));
  TZkTreeView& list = List("SourceList");
  ShowPageOf(list);
  QTreeWidgetItem* second = list.topLevelItem(1);
  list.setCurrentItem(second);
  const auto editTo = [&](const char* typed) {
    list.editItem(second);
    auto* field = list.viewport()->findChild<QLineEdit*>();
    ASSERT_NE(field, nullptr);
    field->setText(QString::fromUtf8(typed));
    QTest::keyClick(field, Qt::Key_Return);
    // The editor hands its text over and closes by a queued call.
    ZK_WAIT_FOR(list.viewport()->findChild<QLineEdit*>() == nullptr);
  };
  editTo("/A");
  EXPECT_EQ(second->text(0), QStringLiteral("/b"));
  EXPECT_EQ(StoredList("AddFiles"), (std::vector<std::string>{"/a", "/b"}));
  editTo("/c");
  EXPECT_EQ(second->text(0), QStringLiteral("/c"));
  EXPECT_EQ(StoredList("AddFiles"), (std::vector<std::string>{"/a", "/c"}));
}

TEST(FileEntryImage, FolderMaskSingleFileOrNone) {
  test::TempDir dir;
  dir.Write("adat/egy.txt", "");
  dir.Write("adat/ketto.txt", "");
  const struct {
    std::string Text;
    int Image;
  } cases[] = {
      {dir / "adat", 17},          {dir / "adat/*.*", 17},     {"*.*", 17},
      {dir / "adat/egy.txt", 18},  {dir / "adat/e*.txt", 18},  {dir / "adat/*.txt", 16},
      {dir / "nincs.txt", 16},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileEntryImage(c.Text, 16), c.Image) << c.Text;
    EXPECT_EQ(FileEntryImage(c.Text, 20), c.Image + 4) << c.Text;
  }
}

// ------------------------------------------------------------ events

TEST_F(SetBackupFormTest, TwoPausesOfTheSameLengthAreBothTaken) {
  Open(JobWith("BeginFuncList", {}));
  for (int i = 0; i < 2; ++i) {
    AnswerInput(QStringLiteral("10"));
    Run("StartPause");
  }
  EXPECT_EQ(StoredList("BeginFuncList"), (std::vector<std::string>{"PAUSE;10", "PAUSE;10"}));
  EXPECT_EQ(EntryImage(*List("BeforeList").topLevelItem(0)), 40);
}

TEST_F(SetBackupFormTest, RunWithAnEmptyParameterEndsInASemicolon) {
  const std::string program = dir_.Write("bin/ment.sh", "#!/bin/sh\n");
  std::filesystem::permissions(program, std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
  Open(JobWith("EndFuncList", {}));
  // The parameter's input box comes next, confirmed empty.
  AnswerFile(program, [] { AnswerInput({}); });
  Run("EndRun");
  EXPECT_EQ(StoredList("EndFuncList"), (std::vector<std::string>{"EXECUTE;" + program + ";"}));
}

TEST_F(SetBackupFormTest, StoppingAServiceLeavesTheLastFieldEmpty) {
  Open(JobWith("BeginFuncList", {}));
  test::AnswerNextDialog([](QWidget& window) {
    auto& services = dynamic_cast<TZkServiceForm&>(window);
    QTreeWidget& rows = services.ListView();
    const QList<QTreeWidgetItem*> found = rows.findItems(QStringLiteral("Spooler"), Qt::MatchExactly, 0);
    ASSERT_EQ(found.size(), 1);
    QTest::mouseClick(rows.viewport(), Qt::LeftButton, {}, rows.visualItemRect(found.front()).center());
    services.close();
  });
  Run("StartServiceClose");
  EXPECT_EQ(StoredList("BeginFuncList"), (std::vector<std::string>{"STOP_SERVICE;Spooler;"}));
}

TEST_F(SetBackupFormTest, ComputerCommandsAddTheirWordBeforeTheSelectedAction) {
  Open(JobWith("EndFuncList", {"PAUSE;5"}));
  Run("EndComputerStop");
  Select(List("AfterList"), 0);
  Run("EndInsertComputerRestart");
  EXPECT_EQ(StoredList("EndFuncList"), (std::vector<std::string>{"RESTART", "PAUSE;5", "SHUTDOWN"}));
}

// ------------------------------------------------------------ schedule

TEST_F(SetBackupFormTest, ANewScheduleEntryShowsDailyAndItsDefaultInterval) {
  Open(JobWith("TimerList", {}));
  AnswerInput(QStringLiteral("Reggel"));
  Run("TimerAdd");
  TZkTreeView& list = List("TimerList");
  ASSERT_EQ(list.topLevelItemCount(), 1);
  Select(list, 0);
  EXPECT_EQ(Find<RadioGroup>("TimerTipus").ItemIndex(), 0);
  EXPECT_EQ(Find<SpinEdit>("TimerInterval").value(), 180);
  EXPECT_EQ(Find<CheckListBox>("TimerBox1").Bits(), 0);
  EXPECT_EQ(Find<CheckListBox>("TimerBox2").Bits(), 0);
  EXPECT_EQ(JobOnDisk().FindNode("TimerList")->Nodes().Items(0).ChildValue("Interval", ""), "180");
  EXPECT_FALSE(Find("TimerInterval").isEnabled());
  EXPECT_TRUE(Find("TimerTime").isEnabled());
  EXPECT_FALSE(Find("TimerDate").isEnabled());
}

TEST_F(SetBackupFormTest, WeeklyToYearlyReloadsTheMonthsAndKeepsTheWeekdays) {
  Open("<Item Name=\"Napi\"><TimerList><Item name=\"Hét\"><TimerType>1</TimerType><Dows>5</Dows>"
       "<Months>2048</Months></Item></TimerList></Item>");
  auto& box = Find<CheckListBox>("TimerBox1");
  EXPECT_EQ(box.Items().front(), QStringLiteral("Hétfő"));
  EXPECT_EQ(box.Bits(), 5);
  Choose("TimerTipus", QStringLiteral("Évente"));
  EXPECT_EQ(box.Items().front(), QStringLiteral("Január"));
  EXPECT_EQ(box.Bits(), 2048);
  EXPECT_TRUE(Find("TimerBox2").isEnabled());
  const TZkTreeDataNode& entry = JobOnDisk().FindNode("TimerList")->Nodes().Items(0);
  EXPECT_EQ(entry.ChildValue("TimerType", ""), "3");
  EXPECT_EQ(entry.ChildValue("Dows", ""), "5");
}

TEST_F(SetBackupFormTest, OwnOutputPageFollowsItsCheckBoxAndPackMode) {
  Open(JobWith("TimerList", {"Este"}));
  auto& detail = Find<QTabWidget>("TimerDetail");
  const int own = detail.indexOf(&Find("TimerSheet2"));
  EXPECT_FALSE(detail.isTabVisible(own));
  Check("TimerExtSaving");
  EXPECT_TRUE(detail.isTabVisible(own));
  Choose("RadioGroup1", QStringLiteral("Nincs tömörítés"));
  auto& pages = Find<QTabWidget>("TimerOutputPages");
  EXPECT_FALSE(pages.isTabVisible(pages.indexOf(&Find("TabSheet17"))));
  EXPECT_FALSE(Find("ZkEdit1").isEnabled());
  EXPECT_TRUE(Find("CheckBox26").isEnabled());
  const TZkTreeDataNode& entry = JobOnDisk().FindNode("TimerList")->Nodes().Items(0);
  EXPECT_EQ(entry.ChildValue("ExtendedSaving", ""), "1");
  EXPECT_EQ(entry.ChildValue("PackMode", ""), "0");
}

}  // namespace
}  // namespace zk::ui
