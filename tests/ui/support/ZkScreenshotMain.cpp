// Renders the windows offscreen, in a fixed state, to PNG files in the
// folder given: what the README shows and what a reviewer looks at.

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QWidget>
#include <cstdio>

#include "support/ZkScreenshots.h"

namespace zk::ui::screenshots {

bool Save(QWidget& window, const QDir& folder, const char* name) {
  window.show();
  QApplication::processEvents();
  const QString path = folder.filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
  if (!window.grab().save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

}  // namespace zk::ui::screenshots

int main(int argc, char** argv) {
  using namespace zk::ui::screenshots;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  if (!folder.mkpath(QStringLiteral("."))) return 1;
  bool ok = true;
  for (const auto save :
       {SaveMainWindow, SaveProgressBars, SaveControls, SaveServiceList, SaveRunWindow, SaveRestoreWindow,
        SaveSettingsPages})
    ok = save(folder) && ok;
  return ok ? 0 : 1;
}
