#include "ui/controls/ControlIcons.h"

#include <QFile>

// The resources of a static library are registered by hand: nothing refers
// to their object file, so the linker would drop it.
static void RegisterControlResources() { Q_INIT_RESOURCE(controls); }

namespace zk::ui {

QIcon ControlIcon(const QString& name) {
  static const bool registered = (RegisterControlResources(), true);
  static_cast<void>(registered);
  const QString path = QStringLiteral(":/controls/icons/%1.svg").arg(name);
  return QFile::exists(path) ? QIcon(path) : QIcon();
}

}  // namespace zk::ui
