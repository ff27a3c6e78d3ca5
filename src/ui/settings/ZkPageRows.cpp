#include "ui/settings/ZkPageRows.h"

#include <QTabWidget>

#include "ui/controls/CheckListBox.h"
#include "ui/controls/RadioGroup.h"
#include "ui/controls/SpinEdit.h"
#include "ui/controls/TimePicker.h"
#include "ui/controls/ZkCheckBox.h"
#include "ui/controls/ZkDateEdit.h"
#include "ui/controls/ZkEdit.h"
#include "ui/controls/ZkFolderEdit.h"

namespace zk::ui::detail {

bool HasLabel(TKind kind) {
  return kind != TKind::CheckBox && kind != TKind::RadioGroup && kind != TKind::CheckListBox;
}

QWidget* CreateControl(const TControlRow& row, QWidget& parent) {
  const QString caption = QString::fromUtf8(row.Caption);
  switch (row.Kind) {
    case TKind::FolderEdit: {
      auto* edit = new TZkFolderEdit(&parent);
      edit->setAcceptDrops(true);
      return edit;
    }
    case TKind::Edit:
      return new TZkEdit(&parent);
    case TKind::CheckBox:
      return new TZkCheckBox(caption, &parent);
    case TKind::RadioGroup:
      return new RadioGroup(caption, {}, &parent);
    case TKind::CheckListBox:
      return new CheckListBox({}, &parent);
    case TKind::DateEdit:
      return new TZkDateEdit(&parent);
    case TKind::TimePicker:
      return new TimePicker(&parent);
    case TKind::SpinEdit:
      return new SpinEdit(10, 99999999, &parent);
  }
  return nullptr;
}

QTabWidget* NewTabs(QWidget* parent, const char* name) {
  auto* tabs = new QTabWidget(parent);
  tabs->setObjectName(QLatin1String(name));
  return tabs;
}

QWidget* NewPage(const char* name) {
  auto* page = new QWidget;
  page->setObjectName(QLatin1String(name));
  return page;
}

const QStringList& PackModes() {
  static const QStringList modes = {QStringLiteral("Nincs tömörítés"), QStringLiteral("Zip tömörítés")};
  return modes;
}

}  // namespace zk::ui::detail
