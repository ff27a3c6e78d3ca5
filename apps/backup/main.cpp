// Backup: the window program.

#include "ui/BackupMain.h"
#include "ui/ZkApplication.h"

int main(int argc, char** argv) {
  zk::ui::TZkApplication application(argc, argv);
  zk::ui::TBackupForm form;
  form.show();
  return zk::ui::TZkApplication::exec();
}
