#pragma once

#include <QWidget>

#include "ui/controls/BoundControl.h"

class QLineEdit;
class QMimeData;
class QToolButton;

namespace zk::ui {

// A folder path: an edit field with a browse button that opens the folder
// picker, and a drop target for a folder dragged from a file manager. Its
// value is the text.
class TZkFolderEdit : public QWidget, public BoundControl {
  Q_OBJECT

public:
  explicit TZkFolderEdit(QWidget* parent = nullptr);

  QString Text() const;
  void SetText(const QString& text);
  // The caption of the folder picker; the program's name when empty.
  QString DialogText() const { return dialogText_; }
  void SetDialogText(const QString& text) { dialogText_ = text; }
  // The field itself, for its frame and colours.
  QLineEdit& Edit() const { return *edit_; }
  QToolButton& BrowseButton() const { return *browse_; }

  // Lets the user pick a folder, starting at the text; OK puts the folder
  // into the text, Cancel leaves it.
  void Browse();

  ControlKind Kind() const override { return ControlKind::Edit; }
  QVariant Value() const override { return Text(); }
  void SetValue(const QVariant& value) override { SetText(value.toString()); }

protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

private:
  // The folder a drop carries: its first item when that is an existing
  // local folder, otherwise empty (files, missing paths and texts are
  // refused).
  static QString DroppedFolder(const QMimeData& data);

  QLineEdit* edit_;
  QToolButton* browse_;
  QString dialogText_;
};

}  // namespace zk::ui
