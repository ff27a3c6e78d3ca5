// Backup: the window program.

#include <QGuiApplication>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "engine/ZkSaveFunc.h"
#include "platform/ZkClock.h"
#include "platform/ZkMemory.h"
#include "platform/ZkPrograms.h"
#include "platform/ZkSystemPlatform.h"
#include "system/ZkService.h"
#include "ui/app/ZkApplication.h"
#include "ui/jobs/ZkSetBackupDlg.h"
#include "ui/main/BackupMain.h"
#include "ui/main/BackupStartup.h"
#include "ui/restore/ZkRestoreDlg.h"
#include "ui/run/BackupRunUnit.h"

int main(int argc, char** argv) {
  zk::platform::ShareOneHeap();
  zk::ui::TZkApplication application(argc, argv);
  const std::unique_ptr<QTranslator> qtTexts = zk::ui::InstallQtTranslation();
  // Desktops match the program's windows to its installed desktop entry,
  // backup.desktop, by this name.
  QGuiApplication::setDesktopFileName(QStringLiteral("backup"));
  // The application object has taken its own arguments out of argv.
  const std::vector<std::string> arguments(argv, argv + argc);
  zk::ui::TBackupStartup startup;
  try {
    startup = zk::ui::ParseBackupArguments(arguments);
  } catch (const std::exception& error) {
    zk::ui::TZkApplication::ShowError(error);
    return 2;
  }

  // The machine's services and session, on the system bus; they connect
  // only when a window or a job's action calls them.
  const std::unique_ptr<zk::platform::TZkServiceControl> services = zk::platform::SystemServiceControl();
  const std::unique_ptr<zk::platform::TZkSessionEnder> session = zk::platform::SystemSessionEnder();
  const std::unique_ptr<zk::platform::TZkSleepInhibitor> sleepInhibitor = zk::platform::SystemSleepInhibitor();
  const zk::TZkServiceContext serviceContext{*services, zk::platform::SystemSleeper()};
  const zk::TZkActionPlatform actions{zk::platform::SystemSleeper(), *services, *session,
                                      zk::platform::DesktopPrograms(), sleepInhibitor.get()};

  const std::unique_ptr<zk::platform::TZkUserScheduler> scheduler = zk::platform::SystemUserScheduler();
  zk::ui::TBackupForm form(&serviceContext);
  form.SetScheduler(scheduler.get());
  form.RunJobs = [&form, &actions](const std::string& jobFile, const std::vector<std::string>& names) {
    const zk::ui::TRunOutcome outcome = zk::ui::RunJobs(&form, actions, jobFile, names, !form.Startup().Throttle);
    form.RefreshMarks();
    if (!outcome.PoweredOff) form.ShowRunErrors(outcome.ErrorLines, outcome.ErrorFile);
  };
  form.EditJob = [&form](const std::string&) { form.SetBackupDlg().Execute(); };
  form.RestoreJob = [&form](const std::string& name) {
    zk::ui::RestoreJob(&form, form.Startup().Files, name);
  };
  form.FormCreate(startup);
  form.show();
  return zk::ui::TZkApplication::exec();
}
