#include "ui/controls/ZkTreeView.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QStyledItemDelegate>
#include <QUrl>

namespace zk::ui {

// Hands the typed text to OnEdited before the entry takes it.
class TZkTreeView::TEditDelegate : public QStyledItemDelegate {
public:
  explicit TEditDelegate(TZkTreeView& view) : QStyledItemDelegate(&view), view_(view) {}

  void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
    auto* field = qobject_cast<QLineEdit*>(editor);
    QTreeWidgetItem* entry = view_.itemFromIndex(index);
    if (field == nullptr || entry == nullptr) {
      QStyledItemDelegate::setModelData(editor, model, index);
      return;
    }
    QString text = field->text();
    if (view_.OnEdited) view_.OnEdited(view_, *entry, text);
    entry->setText(0, text);
  }

private:
  TZkTreeView& view_;
};

TZkTreeView::TZkTreeView(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(1);
  header()->hide();
  setRootIsDecorated(false);
  setSelectionMode(QAbstractItemView::SingleSelection);
  // A click on the selected entry or F2 edits it; a double click is left
  // to the window's own command.
  setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
  setItemDelegate(new TEditDelegate(*this));
  setDragEnabled(true);
  // Drops are always taken in, for the reordering; files are refused below
  // unless AcceptDropFiles.
  setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DragDrop);
  setDefaultDropAction(Qt::MoveAction);
}

QTreeWidgetItem& TZkTreeView::InsertEntry(int index, const QString& text) {
  auto* entry = new QTreeWidgetItem(QStringList{text});
  entry->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDragEnabled);
  if (index < 0 || index >= topLevelItemCount()) {
    addTopLevelItem(entry);
  } else {
    insertTopLevelItem(index, entry);
  }
  return *entry;
}

void TZkTreeView::MoveEntry(int from, int before) {
  const int count = topLevelItemCount();
  if (from < 0 || from >= count || before < 0 || before >= count || from == before) return;
  QTreeWidgetItem* current = currentItem();
  QTreeWidgetItem* entry = takeTopLevelItem(from);
  // Taking the entry out shifts the ones below it up by one.
  const int index = before > from ? before - 1 : before;
  insertTopLevelItem(index, entry);
  if (current != nullptr) setCurrentItem(current);
  if (OnEntryMoved) OnEntryMoved(*this, *entry, index);
}

bool TZkTreeView::AcceptsDrag(const QDropEvent& event) const {
  // An entry of this list over another entry, or files when taken.
  if (event.source() == this) return itemAt(event.position().toPoint()) != nullptr;
  return acceptDropFiles_ && event.mimeData()->hasUrls();
}

void TZkTreeView::dragEnterEvent(QDragEnterEvent* event) {
  // An entry of this list is taken in wherever it enters; whether it may
  // drop is decided as it moves.
  if (event->source() == this || AcceptsDrag(*event)) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void TZkTreeView::dragMoveEvent(QDragMoveEvent* event) {
  if (AcceptsDrag(*event)) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void TZkTreeView::dropEvent(QDropEvent* event) {
  if (!AcceptsDrag(*event)) {
    event->ignore();
    return;
  }
  if (event->source() == this) {
    QTreeWidgetItem* target = itemAt(event->position().toPoint());
    QTreeWidgetItem* moved = currentItem();
    // Copy as far as the drag knows: the entry was moved here already and
    // must not be removed at the source as well.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (target != nullptr && moved != nullptr) MoveEntry(indexOfTopLevelItem(moved), indexOfTopLevelItem(target));
    return;
  }
  event->acceptProposedAction();
  DropFiles(*event->mimeData());
}

void TZkTreeView::DropFiles(const QMimeData& data) {
  QStringList paths;
  for (const QUrl& url : data.urls()) {
    if (url.isLocalFile()) paths << QDir::toNativeSeparators(url.toLocalFile());
  }
  if (paths.isEmpty()) return;
  if (OnBeforeDropFile) OnBeforeDropFile(*this);
  for (int i = 0; i < paths.size(); ++i) {
    if (OnDropFile) OnDropFile(*this, paths[i], i);
  }
  if (OnAfterDropFile) OnAfterDropFile(*this);
}

}  // namespace zk::ui
