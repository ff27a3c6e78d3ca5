#include "ui/BackupMain.h"

namespace zk::ui {

TBackupForm::TBackupForm(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("BackupForm"));
  setWindowTitle(QStringLiteral("Backup"));
  resize(640, 440);
}

}  // namespace zk::ui
