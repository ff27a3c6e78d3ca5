#include "ui/controls/ControlIcons.h"

#include <QFile>

#include "ui/app/ZkUiResources.h"

namespace zk::ui {

QIcon ControlIcon(const QString& name) {
  LoadUiResources();
  const QString path = QStringLiteral(":/controls/icons/%1.svg").arg(name);
  return QFile::exists(path) ? QIcon(path) : QIcon();
}

}  // namespace zk::ui
