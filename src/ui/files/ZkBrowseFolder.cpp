#include "ui/files/ZkBrowseFolder.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <algorithm>

#include "base/ZkError.h"
#include "ui/app/ZkQtText.h"
#include "util/ZkUtilFile.h"

namespace zk::ui {
namespace {

bool IsExistingFolder(const QString& path) { return !path.isEmpty() && IsFolder(ToUtf8(path)); }

QString WithoutTrailingSeparator(const QString& path) {
  return ToQString(StripBackslash(ToUtf8(QDir::toNativeSeparators(path))));
}

// Keeps the OK button of the host-name box enabled only for a name.
void EnableOkForName(QInputDialog& dialog, const QString& name) {
  if (auto* buttons = dialog.findChild<QDialogButtonBox*>()) {
    if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok)) ok->setEnabled(!name.trimmed().isEmpty());
  }
}

}  // namespace

TZkBrowseFolderDlg::TZkBrowseFolderDlg(QObject* owner) : QObject(owner) {}

bool TZkBrowseFolderDlg::Execute() {
  QWidget* owner = OwnerWindow();
  const QPointer<QWidget> previous = QApplication::activeWindow();
  const bool chosen = browseKind_ == TBrowseKind::bfComputers ? ExecuteComputers(owner) : ExecuteFolders(owner);
  if (previous) previous->activateWindow();
  return chosen;
}

QWidget* TZkBrowseFolderDlg::OwnerWindow() const {
  for (QObject* up = parent(); up != nullptr; up = up->parent()) {
    if (auto* widget = qobject_cast<QWidget*>(up)) return widget->window();
  }
  return QApplication::activeWindow();
}

QString TZkBrowseFolderDlg::StartFolder() const {
  if (IsExistingFolder(folderName_)) return folderName_;
  if (!desktopRoot_) return QDir::rootPath();
  const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  return IsExistingFolder(desktop) ? desktop : QDir::homePath();
}

bool TZkBrowseFolderDlg::ExecuteFolders(QWidget* owner) {
  QFileDialog dialog(owner);
  dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::ShowDirsOnly);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setWindowTitle(dialogText_.isEmpty() ? QApplication::applicationName() : dialogText_);

  // An existing folder is shown selected inside its parent; otherwise the
  // dialog opens at the start folder with nothing selected.
  const QString start = StartFolder();
  const QFileInfo startInfo(start);
  if (IsExistingFolder(folderName_) && !startInfo.isRoot()) {
    dialog.setDirectory(startInfo.absolutePath());
    dialog.selectFile(startInfo.absoluteFilePath());
    selectedPath_ = WithoutTrailingSeparator(startInfo.absoluteFilePath());
  } else {
    dialog.setDirectory(start);
    selectedPath_.clear();
  }
  connect(&dialog, &QFileDialog::currentChanged, this, [this](const QString& path) {
    SelectionChanged(IsExistingFolder(path) ? WithoutTrailingSeparator(path) : QString());
  });

  dialog_ = &dialog;
  dialog.installEventFilter(this);
  const bool accepted = dialog.exec() == QDialog::Accepted;
  dialog_ = nullptr;
  if (!accepted) return false;

  // The dialog takes an existing folder only; one removed meanwhile is an
  // error, not a choice.
  const QString chosen = dialog.selectedFiles().value(0);
  if (!IsExistingFolder(chosen)) {
    throw EZkFileOpenError(FormatMessage("A(z) \"%s\" könyvtár nem létezik.", {ToUtf8(chosen)}));
  }
  folderName_ = WithoutTrailingSeparator(chosen);
  selectedPath_ = folderName_;
  return true;
}

bool TZkBrowseFolderDlg::ExecuteComputers(QWidget* owner) {
  QInputDialog dialog(owner);
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setWindowTitle(dialogText_.isEmpty() ? QApplication::applicationName() : dialogText_);
  dialog.setLabelText(QStringLiteral("Számítógép neve:"));
  dialog.setTextValue(folderName_);
  selectedPath_ = folderName_.trimmed();
  connect(&dialog, &QInputDialog::textValueChanged, this, [this, &dialog](const QString& text) {
    EnableOkForName(dialog, text);
    SelectionChanged(text.trimmed());
  });

  dialog_ = &dialog;
  dialog.installEventFilter(this);
  const bool accepted = dialog.exec() == QDialog::Accepted;
  dialog_ = nullptr;
  if (!accepted) return false;
  folderName_ = dialog.textValue().trimmed();
  selectedPath_ = folderName_;
  return true;
}

void TZkBrowseFolderDlg::SelectionChanged(const QString& path) {
  selectedPath_ = path;
  if (OnSelChanged) OnSelChanged(*this);
}

bool TZkBrowseFolderDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == dialog_ && event->type() == QEvent::Show) {
    if (auto* box = qobject_cast<QInputDialog*>(dialog_)) EnableOkForName(*box, box->textValue());
    if (position_ == TDialogPosition::dpScreenCenter) {
      // Centred on its screen and kept inside it, at its own size.
      const QRect area = dialog_->screen()->availableGeometry();
      const QSize size = dialog_->frameGeometry().size();
      const int left = std::max(area.left(), area.left() + (area.width() - size.width()) / 2);
      const int top = std::max(area.top(), area.top() + (area.height() - size.height()) / 2);
      dialog_->move(left, top);
    }
    if (OnInitialized) OnInitialized(*this);
  }
  return QObject::eventFilter(watched, event);
}

bool BrowseForFolder(QString& folder, const QString& dialogText, QObject* owner) {
  TZkBrowseFolderDlg dialog(owner);
  dialog.SetDialogText(dialogText);
  dialog.SetFolderName(folder);
  if (!dialog.Execute()) return false;
  folder = dialog.FolderName();
  return true;
}

}  // namespace zk::ui
