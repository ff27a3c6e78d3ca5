#include "ui/app/ZkApplication.h"

#include <QLibraryInfo>
#include <QLocale>
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

std::unique_ptr<QTranslator> InstallQtTranslation(const QString& folder) {
  const QString from = folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(QLocale(QLocale::Hungarian, QLocale::Hungary), QStringLiteral("qtbase"), QStringLiteral("_"),
                        from) ||
      !QCoreApplication::installTranslator(translator.get()))
    return nullptr;
  return translator;
}

}  // namespace zk::ui
