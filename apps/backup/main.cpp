// Backup: the window program.

#include <QGuiApplication>
#include <exception>
#include <string>
#include <vector>

#include "ui/BackupMain.h"
#include "ui/BackupStartup.h"
#include "ui/ZkApplication.h"

int main(int argc, char** argv) {
  zk::ui::TZkApplication application(argc, argv);
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
  zk::ui::TBackupForm form;
  form.FormCreate(startup);
  form.show();
  return zk::ui::TZkApplication::exec();
}
