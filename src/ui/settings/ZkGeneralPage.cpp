#include "ui/settings/ZkSetBackupForm.h"

#include <QTabWidget>

#include "ui/controls/RadioGroup.h"
#include "ui/controls/SpinEdit.h"
#include "ui/settings/ZkPageRows.h"

// "Általános": the job's archive ("Mentés") and its duplicate ("Másolat").

namespace zk::ui {

void TZkSetBackupForm::AddGeneralPage() {
  AddTabbedPage("TabSheet1", "GeneralPages", QStringLiteral("Általános"), [this](QTabWidget& tabs) {
    QWidget* save = BuildPage(detail::kSaveRows, "TabSheet14");
    AddRemoteButtons(*save);
    tabs.addTab(save, QStringLiteral("Mentés"));
    tabs.addTab(BuildPage(detail::kDuplicateRows, "TabSheet15"), QStringLiteral("Másolat"));
  });
  auto& packMode = static_cast<RadioGroup&>(Control("PackMode"));
  packMode.SetItems(detail::PackModes());
  packMode.SetColumns(2);
  Control("VerifyArchive")
      .setToolTip(QStringLiteral("A kész archívumot visszaolvassa és ellenőrzi, mielőtt az előző helyére kerül"));
  auto& keepCount = static_cast<SpinEdit&>(Control("KeepCount"));
  keepCount.setRange(0, 9999);
  keepCount.setToolTip(QStringLiteral("Dátummal vagy idővel elnevezett archívumoknál ennyi teljes mentés marad meg, "
                                      "a régebbiek törlődnek; 0: mind megmarad"));
}

void TZkSetBackupForm::PackModeClick(QWidget& sender) {
  const bool zip = static_cast<RadioGroup&>(sender).ItemIndex() > 0;
  for (const char* name :
       {"FileNameDate", "FilenameTime", "OutputFileName", "ZkFolderEdit2", "VerifyArchive", "KeepCount"})
    Control(name).setEnabled(zip);
  auto& tabs = static_cast<QTabWidget&>(Control("GeneralPages"));
  tabs.setTabVisible(tabs.indexOf(&Control("TabSheet15")), zip);
  DataChange(sender);
}

}  // namespace zk::ui
