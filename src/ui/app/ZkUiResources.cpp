#include "ui/app/ZkUiResources.h"

#include <QtGlobal>

// The registration functions the resource compiler makes are declared at
// global scope, so they have to be called from there.
static void RegisterResources() {
  Q_INIT_RESOURCE(backup);
  Q_INIT_RESOURCE(controls);
  Q_INIT_RESOURCE(ZkServiceDlg);
  Q_INIT_RESOURCE(ZkSetBackupForm);
}

namespace zk::ui {

void LoadUiResources() {
  static const bool loaded = (RegisterResources(), true);
  (void)loaded;
}

}  // namespace zk::ui
