#pragma once

#include <QTreeWidget>
#include <functional>

class QMimeData;

namespace zk::ui {

// A flat list of entries (a tree without root lines) whose entries are
// edited in place and reordered by dragging them inside the list; with
// AcceptDropFiles it also takes files and folders dropped from outside.
class TZkTreeView : public QTreeWidget {
  Q_OBJECT

public:
  using TNotifyEvent = std::function<void(TZkTreeView& sender)>;
  // Sender, the dropped file's full path, its position in the drop from 0.
  using TDropFileEvent = std::function<void(TZkTreeView& sender, const QString& fileName, int index)>;
  // Sender, the edited entry, the text typed; the entry takes the text the
  // handler leaves (setting it back to the entry's text refuses the edit).
  using TEditedEvent = std::function<void(TZkTreeView& sender, QTreeWidgetItem& entry, QString& text)>;
  // Sender, the entry moved, its new position.
  using TMovedEvent = std::function<void(TZkTreeView& sender, QTreeWidgetItem& entry, int index)>;

  explicit TZkTreeView(QWidget* parent = nullptr);

  // Default false: dropped files are refused.
  bool AcceptDropFiles() const { return acceptDropFiles_; }
  void SetAcceptDropFiles(bool value) { acceptDropFiles_ = value; }

  // A drop of files or folders, none of them left out: OnBeforeDropFile,
  // OnDropFile for each local path in the order dropped, OnAfterDropFile. A
  // drop without a local path raises nothing.
  TNotifyEvent OnBeforeDropFile;
  TDropFileEvent OnDropFile;
  TNotifyEvent OnAfterDropFile;
  // At the end of an edit in place, before the entry takes the text.
  TEditedEvent OnEdited;
  // After an entry was dragged to its new place.
  TMovedEvent OnEntryMoved;

  // An entry's text is being edited in place.
  bool IsEditing() const { return state() == QAbstractItemView::EditingState; }

  // A new editable entry before the entry at `index`, at the end for -1.
  QTreeWidgetItem& InsertEntry(int index, const QString& text);
  // Moves the entry at `from` before the entry that stood at `before` (so
  // the entry ends just above it) and raises OnEntryMoved; nothing for
  // indices outside the list or an entry dropped on itself.
  void MoveEntry(int from, int before);

protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

private:
  class TEditDelegate;

  bool AcceptsDrag(const QDropEvent& event) const;
  void DropFiles(const QMimeData& data);

  bool acceptDropFiles_ = false;
};

}  // namespace zk::ui
