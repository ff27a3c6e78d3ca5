#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QStyleHints>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/ZkError.h"
#include "engine/ZkThreadSave.h"
#include "platform/ZkClock.h"
#include "platform/ZkFakeDesktopBus.h"
#include "platform/ZkTestDaemons.h"
#include "platform/ZkUserFolders.h"
#include "support/ZkDialogAnswer.h"
#include "support/ZkEnvironmentVariable.h"
#include "support/ZkGuiWait.h"
#include "support/ZkTempDir.h"
#include "ui/app/ZkQtText.h"
#include "ui/jobs/ZkSetBackupDlg.h"
#include "ui/main/BackupMain.h"
#include "ui/main/BackupStartup.h"
#include "ui/main/ZkSchedulerLine.h"
#include "ui/settings/ZkSetBackupForm.h"
#include "util/ZkUtil.h"
#include "util/ZkUtilFile.h"

namespace zk::ui {
namespace {

using Names = std::vector<std::string>;
using test::TempDir;

std::string JobFileOf(const Names& names) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Saving>\n";
  for (const std::string& name : names) xml += "  <Item Name=\"" + name + "\"><Path>/x</Path></Item>\n";
  return xml + "</Saving>\n";
}

// The message boxes shown while `action` runs, each answered with OK.
std::vector<std::string> MessagesDuring(const std::function<void()>& action) {
  std::vector<std::string> messages;
  QTimer watch;
  watch.setInterval(10);
  QObject::connect(&watch, &QTimer::timeout, [&messages] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      messages.push_back(ToUtf8(box->text()));
      test::ClickButton(*box, QStringLiteral("OK"));
    }
  });
  watch.start();
  action();
  QApplication::processEvents();
  return messages;
}

struct RunCall {
  std::string jobFile;
  Names names;
  bool windowVisible;
};

// A main window on the job file and INI file of a temporary folder, with
// the run and settings windows standing in as recorders.
struct MainWindowTest : ::testing::Test {
  MainWindowTest() { QLocale::setDefault(QLocale(QLocale::Hungarian, QLocale::Hungary)); }
  ~MainWindowTest() override { QLocale::setDefault(QLocale::c()); }

  std::string JobFile() const { return dir / "Backup.Xml"; }
  std::string IniFile() const { return dir / "Backup.Ini"; }

  TBackupStartup Startup(Names switches = {}) const {
    Names arguments = {"Backup", "--jobs", JobFile()};
    arguments.insert(arguments.end(), switches.begin(), switches.end());
    return ParseBackupArguments(arguments);
  }

  // Creates the window with the recorders wired and runs the start.
  std::unique_ptr<TBackupForm> Start(Names switches = {}) {
    auto form = std::make_unique<TBackupForm>();
    TBackupForm* window = form.get();
    form->RunJobs = [this, window](const std::string& jobFile, const Names& names) {
      runs.push_back({jobFile, names, window->isVisible()});
    };
    form->EditJob = [this](const std::string& name) { edits.push_back(name); };
    form->RestoreJob = [this](const std::string& name) { restores.push_back(name); };
    messages = MessagesDuring([&] { form->FormCreate(Startup(std::move(switches))); });
    return form;
  }

  static void Show(TBackupForm& form) {
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.ListView().setFocus();
  }

  static Names Captions(TBackupForm& form) {
    Names captions;
    for (int row = 0; row < form.ListView().count(); ++row)
      captions.push_back(ToUtf8(form.ListView().item(row)->text()));
    return captions;
  }
  static Names Selected(TBackupForm& form) {
    Names selected;
    for (int row = 0; row < form.ListView().count(); ++row)
      if (form.ListView().item(row)->isSelected()) selected.push_back(ToUtf8(form.ListView().item(row)->text()));
    return selected;
  }
  static QListWidgetItem* Item(TBackupForm& form, const std::string& caption) {
    const auto found = form.ListView().findItems(ToQString(caption), Qt::MatchExactly);
    EXPECT_EQ(found.size(), 1) << caption;
    return found.isEmpty() ? nullptr : found.front();
  }
  static QAction& Action(TBackupForm& form, const char* name) {
    auto* action = form.findChild<QAction*>(QString::fromLatin1(name));
    if (action == nullptr) throw std::runtime_error(std::string("no action ") + name);
    return *action;
  }
  // The names of the job file on disk, in file order.
  Names JobsOnDisk() const {
    TZkSetBackupDlg jobs;
    jobs.SetFileName(JobFile());
    return jobs.GetSavingNames();
  }

  TempDir dir;
  std::vector<RunCall> runs;
  Names edits;
  Names restores;
  std::vector<std::string> messages;
};

// ------------------------------------------------------------ start-up

// A newcomer's first start: an empty home and a program folder the user
// may not write. The job file is made at once, empty, and New works.
TEST_F(MainWindowTest, TheFirstStartMakesAnEmptyJobFileAndNewAddsToIt) {
  test::TEnvironmentVariable home("HOME");
  test::TEnvironmentVariable xdg("XDG_CONFIG_HOME");
  home.Set((dir / "home").c_str());
  xdg.Set(nullptr);
  std::filesystem::create_directories(dir / "home");
  std::filesystem::create_directories(dir / "bin");
  const TZkProgramPlace place{dir / "bin", [](const std::string&) { return false; }, platform::UserConfigFolder()};
  TBackupForm form;
  form.resize(400, 300);
  messages = MessagesDuring([&] { form.FormCreate(ParseBackupArguments({"Backup"}, place)); });
  Show(form);
  const std::string jobFile = dir / "home/.config/backup/Backup.Xml";
  EXPECT_TRUE(messages.empty());
  ASSERT_TRUE(std::filesystem::exists(jobFile));
  EXPECT_TRUE(std::filesystem::is_empty(dir / "bin"));
  auto* empty = form.findChild<QLabel*>(QStringLiteral("EmptyLine"));
  ASSERT_NE(empty, nullptr);
  EXPECT_TRUE(empty->isVisible());
  EXPECT_FALSE(empty->text().isEmpty());

  QTest::keyClick(&form.ListView(), Qt::Key_N, Qt::ControlModifier);
  EXPECT_EQ(Captions(form), (Names{"Mentés"}));
  TZkSetBackupDlg onDisk;
  onDisk.SetFileName(jobFile);
  EXPECT_EQ(onDisk.GetSavingNames(), (Names{"Mentés"}));
  EXPECT_FALSE(empty->isVisible());
  // The last job gone, the line is back.
  form.ListView().selectAll();
  QTest::keyClick(&form.ListView(), Qt::Key_Delete);
  EXPECT_TRUE(empty->isVisible());
}

// A job file given that does not exist is started empty too; with the
// legacy file beside it, that is imported instead.
TEST_F(MainWindowTest, AMissingJobFileIsStartedEmpty) {
  auto form = Start();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(form->ListView().count(), 0);
  EXPECT_TRUE(JobsOnDisk().empty());
  QGuiApplication::clipboard()->setText(ToQString(JobFileOf({"Másolt"})));
  Action(*form, "PasteMenu").trigger();
  EXPECT_EQ(JobsOnDisk(), (Names{"Másolt"}));
}

TEST_F(MainWindowTest, TheLegacyFileIsImportedOnceWhenNoJobFileExists) {
  std::filesystem::copy_file(ZK_TEST_DATA "/legacy-1250.ini", IniFile());
  {
    auto form = Start();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(Captions(*form), (Names{"Heti összesítés", "Napi mentés", "Static"}));
    EXPECT_EQ(JobsOnDisk().size(), 3U);
  }
  // The next start reads the job file: a job added to the legacy file
  // meanwhile does not come in.
  dir.Write("Backup.Ini", TempDir::Read(IniFile()) + "[Later]\r\nPath=/x\r\n");
  auto again = Start();
  EXPECT_EQ(Captions(*again), (Names{"Heti összesítés", "Napi mentés", "Static"}));
}

TEST_F(MainWindowTest, WithBothFilesTheLegacyFileIsIgnored) {
  dir.Write("Backup.Xml", JobFileOf({"Egyetlen"}));
  const std::string legacy = "[Régi]\r\nPath=/x\r\n";
  dir.Write("Backup.Ini", legacy);
  auto form = Start();
  EXPECT_EQ(Captions(*form), (Names{"Egyetlen"}));
  EXPECT_EQ(TempDir::Read(IniFile()), legacy);
}

TEST_F(MainWindowTest, TheListIsSortedInTheOrderOfTheLanguageAndNothingIsSelected) {
  dir.Write("Backup.Xml", JobFileOf({"béka", "Cica", "ábra", "Alma", "Zebra"}));
  auto form = Start();
  EXPECT_EQ(Captions(*form), (Names{"ábra", "Alma", "béka", "Cica", "Zebra"}));
  EXPECT_TRUE(Selected(*form).empty());
}

struct SwitchCase {
  const char* label;
  Names switches;
  Names selected;
  std::vector<Names> runs;
  std::vector<std::string> messages;
};

class StartSwitches : public MainWindowTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(StartSwitches, SelectAndRunBeforeTheWindowShows) {
  dir.Write("Backup.Xml", JobFileOf({"napi", "Napi mentés", "Heti"}));
  auto form = Start(GetParam().switches);
  EXPECT_EQ(messages, GetParam().messages);
  EXPECT_EQ(Selected(*form), GetParam().selected);
  ASSERT_EQ(runs.size(), GetParam().runs.size());
  for (std::size_t i = 0; i < runs.size(); ++i) {
    EXPECT_EQ(runs[i].names, GetParam().runs[i]);
    EXPECT_EQ(runs[i].jobFile, JobFile());
    EXPECT_FALSE(runs[i].windowVisible);  // the run window comes first
  }
}

INSTANTIATE_TEST_SUITE_P(
    MainWindow, StartSwitches,
    ::testing::Values(SwitchCase{"GroupAndStart", {"/GroupNapi", "/start"}, {"napi"}, {{"napi"}}, {}},
                      SwitchCase{
                          "ValueWithABlank", {"/groupNapi mentés", "/START"}, {"Napi mentés"}, {{"Napi mentés"}}, {}},
                      SwitchCase{"GroupWithoutStart", {"/GroupHeti"}, {"Heti"}, {}, {}},
                      SwitchCase{"StartWithoutGroup", {"/start"}, {}, {}, {}},
                      SwitchCase{"ValueAsSecondArgument", {"/Group", "Napi", "/start"}, {}, {}, {"Nincs  nevű mentés"}},
                      SwitchCase{"UnknownJob", {"/GroupHavi", "/start"}, {}, {}, {"Nincs Havi nevű mentés"}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(MainWindowTest, AMalformedJobFileIsReportedAndNeverWritten) {
  const std::string broken = "<?xml version=\"1.0\"?>\n<Saving>\n  <Item Name=\"A\">\n</Saving>\n";
  dir.Write("Backup.Xml", broken);
  auto form = Start();
  ASSERT_EQ(messages.size(), 1U);
  EXPECT_NE(messages[0].find(JobFile()), std::string::npos) << messages[0];
  EXPECT_NE(messages[0].find("line 4"), std::string::npos) << messages[0];
  EXPECT_EQ(form->ListView().count(), 0);

  QGuiApplication::clipboard()->setText(ToQString(JobFileOf({"Másolt"})));
  const auto shown = MessagesDuring([&] {
    Action(*form, "MainNewMenu").trigger();
    Action(*form, "PasteMenu").trigger();
    Action(*form, "SelectAllMenu").trigger();
    Action(*form, "MainDelMenu").trigger();
  });
  EXPECT_TRUE(shown.empty());
  EXPECT_EQ(form->ListView().count(), 0);
  EXPECT_EQ(TempDir::Read(JobFile()), broken);
  // No invitation to add jobs to a file that cannot take them.
  EXPECT_FALSE(form->findChild<QLabel*>(QStringLiteral("EmptyLine"))->isVisibleTo(form.get()));
}

TEST(BackupArguments, OptionsAreTakenAndSwitchesLeft) {
  TempDir dir;
  const TZkProgramPlace place{dir.Path().string(), [](const std::string&) { return true; }, dir / "config"};
  TBackupStartup startup =
      ParseBackupArguments({"Backup", "/GroupNapi", "--no-throttle", "--jobs", "/startup.xml"}, place);
  EXPECT_EQ(startup.Files.JobFile, "/startup.xml");
  EXPECT_EQ(startup.Files.IniFile, "/startup.Ini");
  EXPECT_FALSE(startup.Throttle);
  EXPECT_EQ(startup.Arguments, (Names{"Backup", "/GroupNapi"}));

  startup = ParseBackupArguments({"Backup", "--jobs=" + (dir / "j.Xml")}, place);
  EXPECT_EQ(startup.Files.JobFile, dir / "j.Xml");
  EXPECT_TRUE(startup.Throttle);

  // Without --jobs: the program folder's file, as the console program finds it.
  EXPECT_EQ(ParseBackupArguments({"Backup"}, place).Files.JobFile, dir / "Backup.Xml");
  EXPECT_THROW(ParseBackupArguments({"Backup", "--jobs"}, place), EZkError);
  EXPECT_THROW(ParseBackupArguments({"Backup", "--jobs="}, place), EZkError);
}

// ------------------------------------------------------------ the caption

TEST_F(MainWindowTest, TheCaptionShowsTheFileVersionAfterTwoBlanks) {
  const std::string plain = dir.Write("plain", "no version block here");
  for (const std::string& executable : {std::string(), plain}) {
    TBackupForm form;
    TBackupStartup startup = Startup();
    startup.ExecutableFile = executable;
    form.FormCreate(startup);
    form.show();
    const std::string version = GetFileVersionText(executable);
    EXPECT_EQ(executable.empty(), !version.empty());
    EXPECT_EQ(ToUtf8(form.windowTitle()), "Backup  " + version);
    form.hide();
    form.show();  // shown again, the caption stays
    EXPECT_EQ(ToUtf8(form.windowTitle()), "Backup  " + version);
  }
}

// ------------------------------------------------------------ menus

std::vector<std::string> EntriesOf(const QMenu& menu) {
  std::vector<std::string> entries;
  for (const QAction* action : menu.actions()) {
    const std::string keys = ToUtf8(action->shortcut().toString(QKeySequence::PortableText));
    entries.push_back(action->isSeparator() ? "-" : ToUtf8(action->text()) + (keys.empty() ? "" : "\t" + keys));
  }
  return entries;
}

TEST_F(MainWindowTest, TheMenusAndTheirKeys) {
  auto form = Start();
  EXPECT_EQ(
      EntriesOf(*form->findChild<QMenu*>(QStringLiteral("PopupMenu1"))),
      (Names{"Visszavonás\tCtrl+Z", "-", "Új létrehozás\tCtrl+N", "Átnevezés\tF2", "-", "Másolás\tCtrl+C", "Beillesztés\tCtrl+V", "Törlés\tDel",
             "Összes kijelölés\tCtrl+A", "-", "Mentés elindítás\tReturn", "Visszaállítás", "-",
             "Tulajdonságok\tAlt+Return"}));
  const QList<QAction*> bar = form->menuBar()->actions();
  ASSERT_EQ(bar.size(), 2);
  EXPECT_EQ(ToUtf8(bar[0]->text()), "File");
  EXPECT_EQ(EntriesOf(*bar[0]->menu()),
            (Names{"Visszavonás\tCtrl+Z", "-", "Új létrehozás\tCtrl+N", "Kijelölt(ek) törlése\tDel", "Átnevezés\tF2", "Tulajdonságok\tAlt+Return",
                   "-", "Mentés indítás\tReturn", "Visszaállítás", "-", "Kilépés\tCtrl+Q"}));
  EXPECT_EQ(ToUtf8(bar[1]->text()), "Névjegy");
  EXPECT_EQ(bar[1]->menu(), nullptr);  // a command of its own
}

struct EnablingCase {
  int selected;
  bool clipboardText;
  Names enabled;  // every other entry is disabled
};

class MenuEnabling : public MainWindowTest, public ::testing::WithParamInterface<EnablingCase> {};

TEST_P(MenuEnabling, FollowsTheSelectionAndTheClipboard) {
  dir.Write("Backup.Xml", JobFileOf({"A", "B", "C"}));
  auto form = Start();
  if (GetParam().clipboardText)
    QGuiApplication::clipboard()->setText(QStringLiteral("x"));
  else
    QGuiApplication::clipboard()->clear();
  for (int row = 0; row < GetParam().selected; ++row) form->ListView().item(row)->setSelected(true);
  QMenu& popup = *form->findChild<QMenu*>(QStringLiteral("PopupMenu1"));
  QTimer::singleShot(0, &popup, &QMenu::close);
  emit form->ListView().customContextMenuRequested(QPoint(1, 1));
  Names enabled;
  for (const char* name :
       {"AddMenu", "RenMenu", "CopyMenu", "PasteMenu", "DelMenu", "SelectAllMenu", "RunMenu", "RestoreMenu", "PropMenu",
        "MainNewMenu", "MainDelMenu", "MainRenMenu", "mainPropMenu", "MainRunMenu", "MainRestoreMenu", "MainKilepes",
        "Nvjegy1"})
    if (Action(*form, name).isEnabled()) enabled.push_back(name);
  EXPECT_EQ(enabled, GetParam().enabled);
}

INSTANTIATE_TEST_SUITE_P(
    MainWindow, MenuEnabling,
    ::testing::Values(
        EnablingCase{0, true, {"AddMenu", "PasteMenu", "SelectAllMenu", "MainNewMenu", "MainKilepes", "Nvjegy1"}},
        EnablingCase{0, false, {"AddMenu", "SelectAllMenu", "MainNewMenu", "MainKilepes", "Nvjegy1"}},
        EnablingCase{
            1,
            true,
            {"AddMenu", "RenMenu", "CopyMenu", "DelMenu", "SelectAllMenu", "RunMenu", "RestoreMenu", "PropMenu",
             "MainNewMenu", "MainDelMenu", "MainRenMenu", "mainPropMenu", "MainRunMenu", "MainRestoreMenu",
             "MainKilepes", "Nvjegy1"}},
        EnablingCase{2,
                     true,
                     {"AddMenu", "CopyMenu", "DelMenu", "SelectAllMenu", "RunMenu", "MainNewMenu", "MainDelMenu",
                      "MainRunMenu", "MainKilepes", "Nvjegy1"}}));

TEST_F(MainWindowTest, RunAndPropertiesWaitForTheirWindows) {
  dir.Write("Backup.Xml", JobFileOf({"A"}));
  TBackupForm form;
  EXPECT_TRUE(MessagesDuring([&] { form.FormCreate(Startup({"/GroupA", "/start"})); }).empty());
  EXPECT_EQ(Selected(form), (Names{"A"}));
  EXPECT_TRUE(Action(form, "MainRenMenu").isEnabled());
  EXPECT_FALSE(Action(form, "MainRunMenu").isEnabled());
  EXPECT_FALSE(Action(form, "mainPropMenu").isEnabled());
}

// ------------------------------------------------------------ commands

TEST_F(MainWindowTest, NewTakesTheNextFreeNameAndIsNotSelected) {
  dir.Write("Backup.Xml", JobFileOf({"Mentés", "Mentés (1)"}));
  auto form = Start();
  Show(*form);
  QTest::keyClick(&form->ListView(), Qt::Key_N, Qt::ControlModifier);
  EXPECT_EQ(Captions(*form), (Names{"Mentés", "Mentés (1)", "Mentés (2)"}));
  EXPECT_TRUE(Selected(*form).empty());
  EXPECT_EQ(JobsOnDisk(), (Names{"Mentés", "Mentés (1)", "Mentés (2)"}));
}

TEST_F(MainWindowTest, CopyThenPasteAfterTheSelectionIsCleared) {
  dir.Write("Backup.Xml", JobFileOf({"Napi", "Heti"}));
  auto form = Start();
  Show(*form);
  QListWidget& list = form->ListView();
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(Item(*form, "Napi")).center());
  QTest::keyClick(&list, Qt::Key_C, Qt::ControlModifier);
  EXPECT_NE(QGuiApplication::clipboard()->text().indexOf(QStringLiteral("Name=\"Napi\"")), -1);
  EXPECT_FALSE(Action(*form, "PasteMenu").isEnabled());

  list.clearSelection();
  ASSERT_TRUE(Action(*form, "PasteMenu").isEnabled());
  QTest::keyClick(&list, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Captions(*form), (Names{"Heti", "Napi", "Napi (1)"}));
  EXPECT_EQ(JobsOnDisk(), (Names{"Napi", "Heti", "Napi (1)"}));
}

TEST_F(MainWindowTest, DeleteRemovesEverySelectedJobWithoutAsking) {
  dir.Write("Backup.Xml", JobFileOf({"A", "B", "C"}));
  auto form = Start();
  Show(*form);
  QListWidget& list = form->ListView();
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(Item(*form, "A")).center());
  QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ControlModifier,
                    list.visualItemRect(Item(*form, "C")).center());
  const auto shown = MessagesDuring([&] { QTest::keyClick(&list, Qt::Key_Delete); });
  EXPECT_TRUE(shown.empty());
  EXPECT_EQ(Captions(*form), (Names{"B"}));
  EXPECT_EQ(JobsOnDisk(), (Names{"B"}));
}

// A name that can name no archive is refused wherever a job gets its name,
// and the job file stays as it was.
TEST_F(MainWindowTest, AnUnusableNameIsRefusedAndNothingIsWritten) {
  dir.Write("Backup.Xml", JobFileOf({"Napi"}));
  auto form = Start();
  Show(*form);
  QListWidget& list = form->ListView();
  const std::string before = TempDir::Read(JobFile());

  QGuiApplication::clipboard()->setText(
      QStringLiteral("<Saving><Item Name=\"Esti\"/><Item Name=\"../kint\"/></Saving>"));
  auto shown = MessagesDuring([&] { Action(*form, "PasteMenu").trigger(); });
  EXPECT_EQ(shown, (std::vector<std::string>{"A mentés neve nem használható: ../kint"}));

  Show(*form);  // back from the message box
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(Item(*form, "Napi")).center());
  QTest::keyClick(&list, Qt::Key_F2);
  auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  ASSERT_NE(editor, nullptr);
  editor->setText(QStringLiteral("[Napi]"));
  shown = MessagesDuring([&] { QTest::keyClick(editor, Qt::Key_Return); });
  EXPECT_EQ(shown, (std::vector<std::string>{"A mentés neve nem használható: [Napi]"}));
  EXPECT_EQ(Captions(*form), (Names{"Napi"}));
  EXPECT_EQ(TempDir::Read(JobFile()), before);
}

// ------------------------------------------------------------ undo

// Each list command is one step back, newest first, the job file written
// each time; the jobs come back with all their settings, byte for byte.
TEST_F(MainWindowTest, UndoTakesBackDeletePasteNewAndRenameOneStepEach) {
  dir.Write("Backup.Xml", JobFileOf({"A", "B", "C"}));
  auto form = Start();
  Show(*form);
  QListWidget& list = form->ListView();
  QAction& undo = Action(*form, "MainUndoMenu");
  EXPECT_FALSE(undo.isEnabled());
  const auto undoKey = [&] { QTest::keyClick(&list, Qt::Key_Z, Qt::ControlModifier); };

  QTest::keyClick(&list, Qt::Key_N, Qt::ControlModifier);
  const std::string withNew = TempDir::Read(JobFile());
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(Item(*form, "A")).center());
  QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ControlModifier,
                    list.visualItemRect(Item(*form, "C")).center());
  QTest::keyClick(&list, Qt::Key_Delete);
  EXPECT_EQ(JobsOnDisk(), (Names{"B", "Mentés"}));
  EXPECT_EQ(ToUtf8(undo.toolTip()), "Visszavonás: törlés: A, C");

  undoKey();
  EXPECT_EQ(TempDir::Read(JobFile()), withNew);
  EXPECT_EQ(Captions(*form), (Names{"A", "B", "C", "Mentés"}));
  EXPECT_EQ(ToUtf8(form->statusBar()->currentMessage()), "Visszavonva: törlés: A, C");

  // Paste and rename, then back through all of them to the start.
  list.clearSelection();
  QGuiApplication::clipboard()->setText(ToQString(JobFileOf({"P", "Q"})));
  QTest::keyClick(&list, Qt::Key_V, Qt::ControlModifier);
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(Item(*form, "B")).center());
  QTest::keyClick(&list, Qt::Key_F2);
  auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  ASSERT_NE(editor, nullptr);
  editor->setText(QStringLiteral("Béta"));
  QTest::keyClick(editor, Qt::Key_Return);
  QApplication::processEvents();  // the editor hands its text over queued
  EXPECT_EQ(JobsOnDisk(), (Names{"A", "Béta", "C", "Mentés", "P", "Q"}));

  undoKey();
  EXPECT_EQ(JobsOnDisk(), (Names{"A", "B", "C", "Mentés", "P", "Q"}));
  undoKey();
  EXPECT_EQ(JobsOnDisk(), (Names{"A", "B", "C", "Mentés"}));
  undoKey();
  EXPECT_EQ(JobsOnDisk(), (Names{"A", "B", "C"}));
  EXPECT_EQ(ToUtf8(form->statusBar()->currentMessage()), "Visszavonva: új mentés: Mentés");
  EXPECT_FALSE(undo.isEnabled());
  EXPECT_FALSE(Action(*form, "UndoMenu").isEnabled());
  // Nothing left: the key does nothing.
  undoKey();
  EXPECT_EQ(JobsOnDisk(), (Names{"A", "B", "C"}));
  // The line of a run's errors shows over the undo's message.
  form->ShowRunErrors(1, dir / "Error.Txt");
  EXPECT_TRUE(form->findChild<QLabel*>(QStringLiteral("RunErrors"))->isVisible());
}

// A click on the caption of the selected job opens its editor; a click on
// its picture, or a double click, does not.
TEST_F(MainWindowTest, AClickOnTheSelectedCaptionEditsIt) {
  dir.Write("Backup.Xml", JobFileOf({"Napi", "Heti"}));
  auto form = Start();
  Show(*form);
  QListWidget& list = form->ListView();
  const QRect rect = list.visualItemRect(Item(*form, "Napi"));
  const QPoint caption(rect.center().x(), rect.bottom() - 4);
  const QPoint picture(rect.center().x(), rect.top() + 8);
  const auto editing = [&] { return qobject_cast<QLineEdit*>(QApplication::focusWidget()) != nullptr; };
  const int wait = QGuiApplication::styleHints()->mouseDoubleClickInterval() + 200;

  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, caption);  // selects
  QTest::qWait(wait);
  EXPECT_FALSE(editing());
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, picture);
  QTest::qWait(wait);
  EXPECT_FALSE(editing());
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, caption);
  ZK_WAIT_FOR(editing());
  auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  EXPECT_EQ(editor->text(), QStringLiteral("Napi"));
  editor->setText(QStringLiteral("Reggeli"));
  QTest::keyClick(editor, Qt::Key_Return);
  QApplication::processEvents();
  EXPECT_EQ(JobsOnDisk(), (Names{"Reggeli", "Heti"}));
  EXPECT_TRUE(runs.empty());
}

struct RenameCase {
  const char* typed;
  Qt::Key ending;  // Enter confirms, Escape cancels
  Names captions;
  Names onDisk;
  std::vector<std::string> messages;
};

class RenameInPlace : public MainWindowTest, public ::testing::WithParamInterface<RenameCase> {};

TEST_P(RenameInPlace, ByTypingTheNewCaption) {
  dir.Write("Backup.Xml", JobFileOf({"Napi", "Heti"}));
  auto form = Start();
  Show(*form);
  QListWidget& list = form->ListView();
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(Item(*form, "Napi")).center());
  QTest::keyClick(&list, Qt::Key_F2);
  auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->text(), QStringLiteral("Napi"));
  QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(editor, ToQString(GetParam().typed));
  const auto shown = MessagesDuring([&] { QTest::keyClick(editor, GetParam().ending); });
  EXPECT_EQ(shown, GetParam().messages);
  EXPECT_EQ(Captions(*form), GetParam().captions);
  EXPECT_EQ(JobsOnDisk(), GetParam().onDisk);
  EXPECT_TRUE(runs.empty());  // the Enter of the editor is no Run
}

INSTANTIATE_TEST_SUITE_P(
    MainWindow, RenameInPlace,
    ::testing::Values(
        RenameCase{"HETI", Qt::Key_Return, {"Heti", "Napi"}, {"Napi", "Heti"}, {"Már létező mentés (HETI)"}},
        RenameCase{"heti", Qt::Key_Return, {"Heti", "Napi"}, {"Napi", "Heti"}, {"Már létező mentés (heti)"}},
        RenameCase{"Heti", Qt::Key_Return, {"Heti", "Napi"}, {"Napi", "Heti"}, {"Már létező mentés (Heti)"}},
        RenameCase{"NAPI", Qt::Key_Return, {"Heti", "NAPI"}, {"NAPI", "Heti"}, {}},
        RenameCase{"Éjjeli", Qt::Key_Return, {"Éjjeli", "Heti"}, {"Éjjeli", "Heti"}, {}},
        RenameCase{"Éjjeli", Qt::Key_Escape, {"Heti", "Napi"}, {"Napi", "Heti"}, {}}));

TEST_F(MainWindowTest, ADoubleClickRunsEverySelectedJobBottomMostFirst) {
  dir.Write("Backup.Xml", JobFileOf({"Béta", "Gamma", "Alfa", "Delta"}));
  auto form = Start();
  Show(*form);
  QListWidget& list = form->ListView();
  const auto at = [&](const char* caption) { return list.visualItemRect(Item(*form, caption)).center(); };
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at("Alfa"));
  QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ControlModifier, at("Béta"));
  QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ControlModifier, at("Delta"));
  // As the system delivers a double click: press, release, press, double
  // click, release.
  QWindow* window = form->windowHandle();
  QTest::mouseDClick(window, Qt::LeftButton, {}, list.viewport()->mapTo(form.get(), at("Béta")));
  ASSERT_EQ(runs.size(), 1U);
  EXPECT_EQ(runs[0].jobFile, JobFile());
  EXPECT_EQ(runs[0].names, (Names{"Delta", "Béta", "Alfa"}));
  EXPECT_EQ(Selected(*form), (Names{"Alfa", "Béta", "Delta"}));

  // Enter runs them too.
  QTest::keyClick(&list, Qt::Key_Return);
  ASSERT_EQ(runs.size(), 2U);
  EXPECT_EQ(runs[1].names, (Names{"Delta", "Béta", "Alfa"}));

  // A click that narrowed the selection a while before the double click
  // stays: only the entry clicked runs.
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at("Béta"));
  EXPECT_EQ(Selected(*form), (Names{"Béta"}));
  QTest::mouseDClick(window, Qt::LeftButton, {}, list.viewport()->mapTo(form.get(), at("Béta")));
  ASSERT_EQ(runs.size(), 3U);
  EXPECT_EQ(runs[2].names, (Names{"Béta"}));

  // Alt+Enter opens the settings of the one selected.
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at("Gamma"));
  QTest::keyClick(&list, Qt::Key_Return, Qt::AltModifier);
  EXPECT_EQ(edits, (Names{"Gamma"}));
  EXPECT_EQ(form->SetBackupDlg().Select(), "Gamma");

  // Both menus' restore open the restore window on the one selected.
  Action(*form, "MainRestoreMenu").trigger();
  Action(*form, "RestoreMenu").trigger();
  EXPECT_EQ(restores, (Names{"Gamma", "Gamma"}));
}

// ------------------------------------------------------------ marks of the last run

TEST_F(MainWindowTest, EachIconShowsItsLastRun) {
  dir.Write("Backup.Xml", JobFileOf({"Napi", "Heti", "Új", "Havi"}));
  auto form = Start();
  EXPECT_FALSE(std::filesystem::exists(IniFile()));  // looking creates no history file
  for (const char* caption : {"Napi", "Heti", "Új", "Havi"})
    EXPECT_EQ(Item(*form, caption)->data(TBackupForm::kRunMarkRole).toInt(), static_cast<int>(TRunMark::rmNever));

  dir.Write("Backup.Ini",
            "[Napi]\r\nHistory=Stopped;2024.01.04;21:00;Global;/m/Napi.Zip\r\n"
            "History=Ok;2024.01.05;09:07;Update;/m/Napi_0105.Zip\r\n"
            "[Heti]\r\nHistory=Ok;2024.01.01;10:00;Global;/m/Heti.Zip\r\nHistory=Stopped;2024.01.02;11:30;Global;/m/"
            "Heti2.Zip\r\n[havi]\r\nHistory=Ok;2024.01.01;10:00;Global;/m/Havi.Zip\r\n"
            "History=Incomplete;2024.02.01;08:15;Global;/m/Havi2.Zip\r\n");
  form->RefreshMarks();
  struct Expected {
    const char* caption;
    TRunMark mark;
    const char* tip;
  };
  for (const Expected& expected :
       {Expected{"Napi", TRunMark::rmOk,
                 "Utolsó futás: 2024.01.05 09:07, frissítő mentés, kész\nArchívum: /m/Napi_0105.Zip"},
        Expected{"Heti", TRunMark::rmStopped,
                 "Utolsó futás: 2024.01.02 11:30, teljes mentés, leállítva vagy hibával\nArchívum: /m/Heti2.Zip"},
        Expected{"Havi", TRunMark::rmIncomplete,
                 "Utolsó futás: 2024.02.01 08:15, teljes mentés, hiányos: nem minden fájl került bele\n"
                 "Archívum: /m/Havi2.Zip"},
        Expected{"Új", TRunMark::rmNever, "Még nem futott"}}) {
    QListWidgetItem* item = Item(*form, expected.caption);
    EXPECT_EQ(item->data(TBackupForm::kRunMarkRole).toInt(), static_cast<int>(expected.mark)) << expected.caption;
    EXPECT_EQ(ToUtf8(item->toolTip()), expected.tip);
    // The mark sits in the icon's lower right corner: green, red, amber
    // (red and green well above blue), or none (the blue of the job box).
    const QColor corner = item->icon().pixmap(48, 48).toImage().pixelColor(33, 36);
    const int channels[3] = {corner.red(), corner.green(), corner.blue()};
    if (expected.mark == TRunMark::rmIncomplete) {
      EXPECT_TRUE(corner.red() > corner.blue() + 100 && corner.green() > corner.blue() + 80) << corner.name().toStdString();
      continue;
    }
    const int strong = expected.mark == TRunMark::rmOk ? 1 : expected.mark == TRunMark::rmStopped ? 0 : 2;
    const bool strongest =
        channels[strong] > channels[(strong + 1) % 3] && channels[strong] > channels[(strong + 2) % 3];
    EXPECT_TRUE(strongest) << expected.caption << " " << corner.name().toStdString();
  }
}

// The history file is read once for the whole list; one that cannot be
// read leaves every job listed, without marks, and the status bar says why.
TEST_F(MainWindowTest, AnUnreadableHistoryLeavesTheListCompleteWithoutMarks) {
  dir.Write("Backup.Xml", JobFileOf({"Napi", "Heti"}));
  std::filesystem::create_directories(IniFile());  // unreadable, even for root
  auto form = Start();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(Captions(*form), (Names{"Heti", "Napi"}));
  for (const char* caption : {"Napi", "Heti"})
    EXPECT_EQ(Item(*form, caption)->data(TBackupForm::kRunMarkRole).toInt(), static_cast<int>(TRunMark::rmNever));
  const std::string status = ToUtf8(form->statusBar()->currentMessage());
  EXPECT_TRUE(status.starts_with("A futások előzménye nem olvasható: ")) << status;
  EXPECT_NE(status.find(IniFile()), std::string::npos) << status;
}

// ------------------------------------------------------------ the about box

TEST_F(MainWindowTest, TheAboutBox) {
  auto form = Start();
  Show(*form);
  QString title, version, jobFile, source;
  bool jobFileTakesFocus = true;
  QSize picture, minimum, maximum;
  QFont titleFont;
  QPoint centre;
  bool hasHelpButton = true;
  test::AnswerNextDialog([&](QWidget& about) {
    title = about.windowTitle();
    version = about.findChild<QLabel*>(QStringLiteral("Version"))->text();
    const auto* jobFileLine = about.findChild<QLabel*>(QStringLiteral("JobFile"));
    jobFile = jobFileLine->text();
    // A label with the keyboard focus shows a text cursor after the path.
    jobFileTakesFocus = jobFileLine->focusPolicy() != Qt::NoFocus ||
                        jobFileLine->textInteractionFlags().testFlag(Qt::TextSelectableByKeyboard);
    source = about.findChild<QLabel*>(QStringLiteral("Source"))->text();
    titleFont = about.findChild<QLabel*>(QStringLiteral("Title"))->font();
    picture = about.findChild<QLabel*>(QStringLiteral("Image1"))->pixmap().deviceIndependentSize().toSize();
    minimum = about.minimumSize();
    maximum = about.maximumSize();
    centre = about.geometry().center();
    hasHelpButton = about.windowFlags().testFlag(Qt::WindowContextHelpButtonHint) ||
                    about.windowFlags().testFlag(Qt::WindowMinMaxButtonsHint);
    about.close();
  });
  form->menuBar()->actions().at(1)->trigger();
  EXPECT_EQ(title, QStringLiteral("Névjegy"));
  EXPECT_EQ(ToUtf8(version), "Verzió : " + GetFileVersionText(""));
  EXPECT_EQ(ToUtf8(jobFile), "Mentésfájl: " + JobFile());
  EXPECT_FALSE(jobFileTakesFocus);
  EXPECT_EQ(source, QStringLiteral("Forráskód: kérje a program terjesztőjétől"));
  EXPECT_TRUE(titleFont.bold() && titleFont.underline());
  EXPECT_GT(titleFont.pointSizeF(), form->font().pointSizeF());
  EXPECT_EQ(picture, QSize(161, 161));
  EXPECT_EQ(minimum, maximum);
  EXPECT_FALSE(hasHelpButton);
  EXPECT_LE((centre - form->geometry().center()).manhattanLength(), 2);
}

}  // namespace
}  // namespace zk::ui

namespace zk::ui {
namespace {

// After a run with error lines the status bar says how many, its link opens
// the error file, and a clean run clears the line.
TEST_F(MainWindowTest, ErrorLinesOfARunAreNotSilent) {
  dir.Write("Backup.Xml", JobFileOf({"A"}));
  const auto form = Start();
  Show(*form);
  QStringList opened;
  form->OpenFile = [&opened](const QString& path) { opened.push_back(path); };
  auto* line = form->findChild<QLabel*>(QStringLiteral("RunErrors"));
  ASSERT_NE(line, nullptr);

  form->ShowRunErrors(3, dir / "Error.Txt");
  EXPECT_TRUE(line->text().contains(QStringLiteral("3 hibasort"))) << line->text().toStdString();
  EXPECT_TRUE(line->text().contains(QStringLiteral("Error.Txt"))) << line->text().toStdString();
  emit line->linkActivated(QStringLiteral("error"));
  EXPECT_EQ(opened, QStringList{ToQString(dir / "Error.Txt")});

  form->ShowRunErrors(0, dir / "Error.Txt");
  EXPECT_TRUE(line->text().isEmpty());
}

// Properties through the real settings component: the main window's
// settings window shows the files and events pages, not the schedule page.
TEST_F(MainWindowTest, TheSettingsWindowLeavesOutTheSchedulePage) {
  TBackupForm form;
  const TBackupOptions options = form.SetBackupDlg().Options();
  EXPECT_TRUE(options.Contains(TBackupOption::bdShowService));
  EXPECT_TRUE(options.Contains(TBackupOption::bdShowFiles));
  EXPECT_FALSE(options.Contains(TBackupOption::bdShowTiming));
}

}  // namespace
}  // namespace zk::ui

namespace zk::ui {
namespace {

// A switch value is taken up to 255 characters: a 300-character name is
// looked up (and reported) by its first 255.
TEST_F(MainWindowTest, AGroupNameOf300CharactersIsCutAndReported) {
  dir.Write("Backup.Xml", JobFileOf({"Napi"}));
  const std::string name(300, 'n');
  const auto form = Start({"/Group" + name, "/start"});
  EXPECT_EQ(messages, (std::vector<std::string>{"Nincs " + name.substr(0, 255) + " nevű mentés"}));
  EXPECT_TRUE(Selected(*form).empty());
  EXPECT_TRUE(runs.empty());
}

}  // namespace
}  // namespace zk::ui

namespace zk::ui {
namespace {

using platform::TZkFakeUserScheduler;

QTabWidget& SettingsPages(TZkSetBackupForm& settings) {
  auto* pages = settings.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
  EXPECT_NE(pages, nullptr);
  return *pages;
}

bool SchedulePageShown(TBackupForm& form) {
  form.SetBackupDlg().SetSelect("Napi");
  TZkSetBackupForm& settings = form.SetBackupDlg().OpenWindow();
  QTabWidget& pages = SettingsPages(settings);
  const bool shown = pages.isTabVisible(pages.indexOf(settings.findChild<QWidget*>(QStringLiteral("TabSheet3"))));
  settings.close();
  return shown;
}

TEST_F(MainWindowTest, TheSchedulePageAndTheSchedulerLineComeWithAnInstalledScheduler) {
  dir.Write("Backup.Xml", JobFileOf({"Napi"}));
  struct Case {
    bool installed, running;
    const char* line;  // none: no line
  };
  for (const Case& c : {Case{false, false, nullptr}, Case{true, false, "Ütemezett mentések: nem futnak"},
                        Case{true, true, "Ütemezett mentések: futnak"}}) {
    SCOPED_TRACE(c.line != nullptr ? c.line : "not installed");
    TZkFakeUserScheduler scheduler;
    scheduler.IsInstalled = c.installed;
    scheduler.IsRunning = c.running;
    auto form = Start();
    form->SetScheduler(&scheduler);
    EXPECT_EQ(SchedulePageShown(*form), c.installed);
    if (c.line == nullptr) {
      EXPECT_EQ(form->SchedulerLine(), nullptr);
      continue;
    }
    ASSERT_NE(form->SchedulerLine(), nullptr);
    Show(*form);
    EXPECT_TRUE(form->SchedulerLine()->isVisible());
    EXPECT_EQ(ToUtf8(form->SchedulerLine()->text()), c.line);
    EXPECT_FALSE(form->SchedulerLine()->toolTip().isEmpty());
    // The whole line fits.
    EXPECT_GE(form->SchedulerLine()->width(), form->SchedulerLine()->sizeHint().width());
  }
}

TEST_F(MainWindowTest, AFailedStartOfTheSchedulerIsShownAndTheLineStays) {
  dir.Write("Backup.Xml", JobFileOf({"Napi"}));
  TZkFakeUserScheduler scheduler;
  scheduler.IsInstalled = true;
  scheduler.StartSucceeds = false;
  auto form = Start();
  form->SetScheduler(&scheduler);
  Show(*form);
  const auto shown = MessagesDuring([&] { QTest::mouseClick(form->SchedulerLine(), Qt::LeftButton); });
  EXPECT_EQ(shown, std::vector<std::string>{"Az ütemezett mentések nem indíthatók el: Access denied"});
  EXPECT_EQ(scheduler.StartCalls, 1);
  EXPECT_EQ(ToUtf8(form->SchedulerLine()->text()), "Ütemezett mentések: nem futnak");
}

TEST_F(MainWindowTest, AClickOnTheSchedulerLineEnablesAndStartsTheUserUnit) {
  if (!test::HaveDbusMock()) GTEST_SKIP() << "needs /usr/bin/dbus-daemon and python3-dbusmock for /usr/bin/python3";
  test::TPrivateBus bus;
  ASSERT_TRUE(bus.Ready());
  test::TDbusMock manager(bus, "org.freedesktop.systemd1", ZK_SYSTEMD_USER_MOCK, dir / "calls.log",
                          R"({"units": ["backup-cli.service"]})");
  ASSERT_TRUE(manager.Ready());
  const auto scheduler = platform::SystemdUserScheduler(
      [address = bus.Address()] { return platform::TZkDbusConnection::OpenAddress(address); }, "backup-cli.service",
      {});
  dir.Write("Backup.Xml", JobFileOf({"Napi"}));
  auto form = Start();
  form->SetScheduler(scheduler.get());
  Show(*form);
  TZkSchedulerLine* line = form->SchedulerLine();
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(ToUtf8(line->text()), "Ütemezett mentések: nem futnak");
  QTest::mouseClick(line, Qt::LeftButton);
  EXPECT_EQ(ToUtf8(line->text()), "Ütemezett mentések: futnak");
  EXPECT_EQ(manager.Calls({"EnableUnitFiles", "Reload", "StartUnit"}),
            (std::vector<std::string>{"EnableUnitFiles [\"backup-cli.service\"] False False", "Reload",
                                      "StartUnit \"backup-cli.service\" \"replace\""}));
  // Once it runs, a click only looks again.
  QTest::mouseClick(line, Qt::LeftButton);
  EXPECT_EQ(manager.Calls({"StartUnit"}).size(), 1u);
}

TEST_F(MainWindowTest, AnOverdueJobIsMarkedWithTheAgeOfItsLastGoodBackup) {
  TZkThreadSaveTasks jobs;
  for (const char* name : {"Napi", "Friss", "Kézi"}) {
    TZkThreadSaveTask& job = jobs.Add();
    job.Name = name;
    if (std::string(name) != "Kézi") job.TimerList().Add().SetTime(EncodeTime(22, 0, 0, 0));
  }
  WriteJobFile(JobFile(), jobs);
  const TDateTime now = platform::SystemClock().Now();
  const auto line = [](TDateTime moment) {
    return "History=Ok;" + FormatDateMask("yyyy.mm.dd;hh:pp", moment, NeutralFormatSettings()) + ";Global;/m/x.Zip\r\n";
  };
  dir.Write("Backup.Ini", "[Napi]\r\n" + line(now - 10) + "[Friss]\r\n" + line(now - 0.1) + "[Kézi]\r\n" +
                              line(now - 10));
  auto form = Start();
  // The overdue mark sits in the icon's upper right corner, in purple.
  const auto cornerIsPurple = [&](const char* caption) {
    const QColor corner = Item(*form, caption)->icon().pixmap(48, 48).toImage().pixelColor(33, 10);
    return corner.blue() > corner.green() + 60 && corner.red() > corner.green() + 40;
  };
  EXPECT_TRUE(Item(*form, "Napi")->data(TBackupForm::kOverdueRole).toBool());
  EXPECT_TRUE(ToUtf8(Item(*form, "Napi")->toolTip()).starts_with("Elmaradt: az utolsó jó mentés 10 napja készült\n"))
      << ToUtf8(Item(*form, "Napi")->toolTip());
  EXPECT_TRUE(cornerIsPurple("Napi"));
  for (const char* caption : {"Friss", "Kézi"}) {
    SCOPED_TRACE(caption);
    EXPECT_FALSE(Item(*form, caption)->data(TBackupForm::kOverdueRole).toBool());
    EXPECT_TRUE(ToUtf8(Item(*form, caption)->toolTip()).starts_with("Utolsó futás: "));
    EXPECT_FALSE(cornerIsPurple(caption));
  }
}

}  // namespace
}  // namespace zk::ui
