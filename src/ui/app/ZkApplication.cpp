#include "ui/app/ZkApplication.h"

#include <QMessageBox>
#include <QWidget>
#include <exception>

#include "ui/app/ZkQtText.h"

namespace zk::ui {

TZkApplication::TZkApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("Backup"));
}

bool TZkApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    ShowError(error);
  }
  return false;
}

void TZkApplication::ShowError(const QString& message) {
  QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(), message);
}

void TZkApplication::ShowError(const std::exception& error) { ShowError(ToQString(error.what())); }

}  // namespace zk::ui
