// Every control the keyboard can reach, in every window, has a name that a
// screen reader can say.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QWidget>
#include <string>
#include <vector>

#include "engine/ZkThreadSave.h"
#include "platform/ZkClock.h"
#include "platform/ZkFakePrograms.h"
#include "platform/ZkFakeServiceControl.h"
#include "platform/ZkFakeSessionEnder.h"
#include "support/ZkDialogAnswer.h"
#include "support/ZkTempDir.h"
#include "system/ZkService.h"
#include "ui/jobs/ZkSetBackupDlg.h"
#include "ui/main/BackupMain.h"
#include "ui/main/BackupStartup.h"
#include "ui/main/Nevjegy.h"
#include "ui/restore/ZkRestoreDlg.h"
#include "ui/run/BackupRunUnit.h"
#include "ui/services/ZkServiceDlg.h"
#include "ui/settings/ZkSetBackupForm.h"

namespace zk::ui {
namespace {

// The controls of the window that take the focus by Tab (a control that
// hands its focus to another is that other one) and have no name, each by
// its class and object name.
std::vector<std::string> NamelessControls(QWidget& window) {
  std::vector<std::string> nameless;
  QList<QWidget*> widgets = window.findChildren<QWidget*>();
  widgets.prepend(&window);
  for (QWidget* widget : widgets) {
    if ((widget->focusPolicy() & Qt::TabFocus) == 0 || widget->focusProxy() != nullptr) continue;
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    const QString name = accessible != nullptr ? accessible->text(QAccessible::Name) : QString();
    if (name.trimmed().isEmpty())
      nameless.push_back(std::string(widget->metaObject()->className()) + " " + widget->objectName().toStdString());
  }
  return nameless;
}

std::string JobFile(const test::TempDir& dir) {
  TZkThreadSaveTasks jobs;
  TZkThreadSaveTask& job = jobs.Add();
  job.Name = "Napi";
  job.DefineOutput().OutputFolder = dir / "out";
  job.DefineOutput().FileName = "napi";
  job.AddFiles().Add().Name = dir / "src";
  WriteJobFile(dir / "Backup.Xml", jobs);
  return dir / "Backup.Xml";
}

TEST(AccessibleNames, EveryFocusableControlOfEveryWindowHasOne) {
  const test::TempDir dir;
  const std::string jobFile = JobFile(dir);
  platform::TZkFakeServiceControl services;
  platform::TZkFakeSessionEnder session;
  platform::TZkFakePrograms programs;
  const TZkServiceContext context{services, platform::SystemSleeper()};
  const TZkActionPlatform actions{platform::SystemSleeper(), services, session, programs};

  TBackupForm main(&context);
  main.RunJobs = [](const std::string&, const std::vector<std::string>&) {};
  main.EditJob = [](const std::string&) {};
  main.FormCreate(ParseBackupArguments({"Backup", "--jobs", jobFile}));
  // The status bar's link is reached by Tab only while it shows.
  EXPECT_TRUE(main.findChild<QLabel*>(QStringLiteral("RunErrors"))->focusPolicy() == Qt::NoFocus);
  main.ShowRunErrors(2, dir / "Error.Txt");
  EXPECT_EQ(NamelessControls(main), std::vector<std::string>{}) << "main window";

  TNEvjegyForm about(&main, "1.0.0.0", jobFile);
  EXPECT_EQ(NamelessControls(about), std::vector<std::string>{}) << "about box";

  TZkSetBackupDlg jobs(context);
  jobs.SetFileName(jobFile);
  jobs.SetSelect("Napi");
  TZkSetBackupForm& settings = jobs.OpenWindow();
  EXPECT_EQ(NamelessControls(settings), std::vector<std::string>{}) << "settings window";

  TBackupRun run(actions);
  run.SetJobFile(jobFile);
  run.AddRow("Napi");
  EXPECT_EQ(NamelessControls(run), std::vector<std::string>{}) << "run window";

  TZkRestoreDlg restore;
  restore.SetJob(dir / "Backup.Ini", "Napi");
  EXPECT_EQ(NamelessControls(restore), std::vector<std::string>{}) << "restore window";

  TZkServiceDlg serviceList(context);
  std::vector<std::string> serviceNameless = {"not shown"};
  test::AnswerNextDialog([&](QWidget& window) {
    serviceNameless = NamelessControls(window);
    window.close();
  });
  serviceList.Execute();
  EXPECT_EQ(serviceNameless, std::vector<std::string>{}) << "service list";
}

}  // namespace
}  // namespace zk::ui
