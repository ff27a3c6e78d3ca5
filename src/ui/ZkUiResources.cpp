#include "ui/ZkUiResources.h"

#include <QtGlobal>

// The registration function the resource compiler makes is declared at
// global scope, so it has to be called from there.
static void RegisterBackupResource() { Q_INIT_RESOURCE(backup); }

namespace zk::ui {

void LoadUiResources() {
  static const bool loaded = (RegisterBackupResource(), true);
  (void)loaded;
}

}  // namespace zk::ui
