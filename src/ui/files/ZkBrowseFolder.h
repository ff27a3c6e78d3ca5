#pragma once
// The folder picker: a folder of the file system, or a computer of the
// network by its host name, chosen by the user.

#include <QObject>
#include <QString>
#include <functional>

class QWidget;

namespace zk::ui {

enum class TBrowseKind { bfFolders, bfComputers };
enum class TDialogPosition { dpDefault, dpScreenCenter };

class TZkBrowseFolderDlg : public QObject {
  Q_OBJECT

public:
  using TNotifyEvent = std::function<void(TZkBrowseFolderDlg& sender)>;

  explicit TZkBrowseFolderDlg(QObject* owner = nullptr);

  // bfFolders (default): a folder, browsed in the folder dialog; OK takes an
  // existing folder only. bfComputers: a host name typed into an input box
  // (the network is not browsed); OK takes a name that is not blank.
  TBrowseKind BrowseKind() const { return browseKind_; }
  void SetBrowseKind(TBrowseKind value) { browseKind_ = value; }
  // Where the dialog starts when FolderName is no folder: the desktop
  // (the home folder when there is none) when true, the root of the file
  // system when false. Default true.
  bool DesktopRoot() const { return desktopRoot_; }
  void SetDesktopRoot(bool value) { desktopRoot_ = value; }
  // The dialog's caption; the program's name when empty.
  QString DialogText() const { return dialogText_; }
  void SetDialogText(const QString& value) { dialogText_ = value; }
  // In: the folder (host name) selected first. Out: the choice, native
  // separators, no trailing separator except on a root.
  QString FolderName() const { return folderName_; }
  void SetFolderName(const QString& value) { folderName_ = value; }
  // Default dpScreenCenter: centred on the screen; dpDefault: over its owner.
  TDialogPosition Position() const { return position_; }
  void SetPosition(TDialogPosition value) { position_ = value; }

  // While the dialog is open, the folder (host name) under the selection,
  // empty for none; after OK, FolderName.
  QString SelectedPath() const { return selectedPath_; }

  // When the dialog has been set up, just before it shows.
  TNotifyEvent OnInitialized;
  // After every change of SelectedPath while the dialog is open.
  TNotifyEvent OnSelChanged;

  // Shows the dialog modally over the owner's window (or the active one).
  // True on OK; false on Cancel, with FolderName unchanged.
  bool Execute();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  QWidget* OwnerWindow() const;
  QString StartFolder() const;
  bool ExecuteFolders(QWidget* owner);
  bool ExecuteComputers(QWidget* owner);
  void SelectionChanged(const QString& path);

  TBrowseKind browseKind_ = TBrowseKind::bfFolders;
  bool desktopRoot_ = true;
  QString dialogText_;
  QString folderName_;
  TDialogPosition position_ = TDialogPosition::dpScreenCenter;
  QString selectedPath_;
  QWidget* dialog_ = nullptr;
};

// Lets the user pick a folder, starting at `folder`; on OK `folder` becomes
// the choice and the result is true, on Cancel it stays as it was.
bool BrowseForFolder(QString& folder, const QString& dialogText = {}, QObject* owner = nullptr);

}  // namespace zk::ui
