#include "ui/settings/ZkSetBackupForm.h"

#include <QAction>
#include <QEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QToolBar>
#include <QTreeWidgetItem>
#include <QVBoxLayout>

#include <algorithm>

#include "ui/app/ZkApplication.h"
#include "ui/controls/BoundControl.h"
#include "ui/controls/ZkTreeView.h"
#include "ui/settings/ZkBinding.h"
#include "ui/settings/ZkListPages.h"
#include "ui/settings/ZkPageRows.h"

// The pages built around a list: the file lists ("fájlok", each with the
// detail panel of its selected entry) and the actions before and after the
// backup ("Események"); the list every such page holds, with its popup
// menu, its keys and the drops it takes; and the toolbars of list commands.

namespace zk::ui {

QWidget* TZkSetBackupForm::BuildFilePage(const TListRow& row) {
  QWidget* page = detail::NewPage(row.PageName);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(&BuildToolBar(*page, row.ToolBar, Qt::Horizontal));
  layout->addWidget(&BuildList(*page, row), 1);
  auto* panel = new QWidget(page);
  const bool source = QLatin1String(row.Name) == QLatin1String("SourceList");
  panel->setObjectName(source ? QStringLiteral("SourcePanel") : QStringLiteral("ExtractPanel"));
  MarkDetailPanel(*panel);
  auto* grid = new QGridLayout(panel);
  grid->setContentsMargins(0, 0, 0, 0);
  if (source) {
    AddRows(*panel, *grid, detail::kSourcePanelRows);
  } else {
    AddRows(*panel, *grid, detail::kExtractPanelRows);
  }
  layout->addWidget(panel);
  return page;
}

QWidget* TZkSetBackupForm::BuildActionPage(const TListRow& row) {
  QWidget* page = detail::NewPage(row.PageName);
  auto* grid = new QGridLayout(page);
  grid->addWidget(&BuildList(*page, row), 0, 0);
  grid->addWidget(&BuildToolBar(*page, row.SideBar, Qt::Vertical), 0, 1);
  grid->addWidget(&BuildToolBar(*page, row.ToolBar, Qt::Horizontal), 1, 0, 1, 2);
  grid->setColumnStretch(0, 1);
  return page;
}

TZkTreeView& TZkSetBackupForm::BuildList(QWidget& page, const TListRow& row) {
  auto* list = new TZkTreeView(&page);
  list->setObjectName(QLatin1String(row.Name));
  list->setAccessibleName(QString::fromUtf8(row.Page));
  SetHint(*list, QString::fromUtf8(row.Hint));
  list->SetAcceptDropFiles(row.AcceptDropFiles);
  if (row.FileList) {
    list->OnDropFile = [this](TZkTreeView& sender, const QString& fileName, int) {
      Guarded([this, &sender, &fileName] { listPages_->ListDropFile(sender, fileName); })();
    };
  }
  list->OnEdited = [this](TZkTreeView& sender, QTreeWidgetItem& entry, QString& text) {
    Guarded([this, &sender, &entry, &text] { listPages_->ListEdited(sender, entry, text); })();
  };
  list->OnEntryMoved = [this](TZkTreeView& sender, QTreeWidgetItem& entry, int index) {
    Guarded([this, &sender, &entry, index] { listPages_->ListEntryMoved(sender, entry, index); })();
  };
  connect(list, &QTreeWidget::currentItemChanged, this, Guarded([this, list](QTreeWidgetItem*, QTreeWidgetItem*) {
            ListChange(*list);
          }));
  connect(list, &QTreeWidget::itemDoubleClicked, this, Guarded([this, list](QTreeWidgetItem*, int) {
            if (list->currentItem() != nullptr) ClickByTag(*popupMenus_.value(list), 2);
          }));

  // The popup menu, its submenus first, each entry with its tag.
  auto* menu = new QMenu(this);
  menu->setObjectName(QLatin1String(row.Menu));
  QHash<QString, QMenu*> submenus;
  for (const detail::TMenuRow& item : row.MenuRows) {
    const QString name = QLatin1String(item.Command);
    QMenu* into = item.Submenu != nullptr ? submenus.value(QLatin1String(item.Submenu)) : menu;
    QAction* action = commands_.value(name);
    if (action == nullptr) {
      // A parent entry: its submenu is its only command.
      const auto command = std::find_if(detail::Commands().begin(), detail::Commands().end(),
                                        [&](const TCommandRow& c) { return name == QLatin1String(c.Name); });
      QMenu* submenu = into->addMenu(QString::fromUtf8(command->Caption));
      submenu->menuAction()->setObjectName(name);
      commands_.insert(name, submenu->menuAction());
      submenus.insert(name, submenu);
      continue;
    }
    if (item.Tag != 0) action->setData(item.Tag);
    into->addAction(action);
  }
  popupMenus_.insert(list, menu);
  list->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(list, &QWidget::customContextMenuRequested, menu,
          [list, menu](const QPoint& at) { menu->popup(list->viewport()->mapToGlobal(at)); });
  list->installEventFilter(this);
  list->viewport()->installEventFilter(this);
  return *list;
}

QToolBar& TZkSetBackupForm::BuildToolBar(QWidget& page, std::span<const char* const> commands,
                                         Qt::Orientation orientation) {
  auto* bar = new QToolBar(&page);
  bar->setOrientation(orientation);
  bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  for (const char* name : commands) bar->addAction(&Command(QLatin1String(name)));
  return *bar;
}

bool TZkSetBackupForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched->objectName() == QLatin1String("Panel7") && event->type() == QEvent::Resize) {
    Panel7Resize();
    return false;
  }
  if (auto* list = qobject_cast<TZkTreeView*>(watched); list != nullptr && event->type() == QEvent::KeyPress) {
    QMenu* menu = popupMenus_.value(list);
    if (list->IsEditing() || list->currentItem() == nullptr || menu == nullptr)
      return false;
    int tag = 0;
    switch (static_cast<QKeyEvent*>(event)->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
        tag = 2;
        break;
      case Qt::Key_Insert:
        tag = 4;
        break;
      case Qt::Key_Delete:
        tag = 3;
        break;
      default:
        return false;
    }
    Guarded([menu, tag] { ClickByTag(*menu, tag); })();
    return true;
  }
  if (event->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
    // The popup menu acts on the entry under the pointer.
    if (auto* list = qobject_cast<TZkTreeView*>(watched->parent())) {
      if (QTreeWidgetItem* entry = list->itemAt(static_cast<QMouseEvent*>(event)->position().toPoint()))
        list->setCurrentItem(entry);
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace zk::ui
