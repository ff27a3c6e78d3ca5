// Backup: the window program.

#include <QGuiApplication>

#include "ui/BackupMain.h"
#include "ui/ZkApplication.h"

int main(int argc, char** argv) {
  zk::ui::TZkApplication application(argc, argv);
  // Desktops match the program's windows to its installed desktop entry,
  // backup.desktop, by this name.
  QGuiApplication::setDesktopFileName(QStringLiteral("backup"));
  zk::ui::TBackupForm form;
  form.show();
  return zk::ui::TZkApplication::exec();
}
