#include "ui/controls/ZkFolderEdit.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMimeData>
#include <QToolButton>
#include <QUrl>

#include "ui/app/ZkApplication.h"
#include "ui/app/ZkQtText.h"
#include "ui/controls/ControlIcons.h"
#include "ui/files/ZkBrowseFolder.h"
#include "util/ZkUtilFile.h"

namespace zk::ui {

TZkFolderEdit::TZkFolderEdit(QWidget* parent)
    : QWidget(parent), edit_(new QLineEdit(this)), browse_(new QToolButton(this)) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(edit_, 1);
  layout->addWidget(browse_);

  browse_->setIcon(ControlIcon(QStringLiteral("folder")));
  browse_->setText(QStringLiteral("…"));
  browse_->setAccessibleName(QStringLiteral("Tallózás"));
  browse_->setToolTip(QStringLiteral("Könyvtár kiválasztása"));
  browse_->setFocusPolicy(Qt::StrongFocus);

  // The field passes drops up to this widget, which takes folders only.
  edit_->setAcceptDrops(false);
  setAcceptDrops(true);
  setFocusProxy(edit_);

  connect(edit_, &QLineEdit::textChanged, this, [this] { Changed(*this); });
  connect(browse_, &QToolButton::clicked, this, Guarded([this](bool) { Browse(); }));
}

QString TZkFolderEdit::Text() const { return edit_->text(); }

void TZkFolderEdit::SetText(const QString& text) { edit_->setText(text); }

void TZkFolderEdit::Browse() {
  QString folder = Text();
  if (BrowseForFolder(folder, dialogText_, this)) SetText(folder);
}

QString TZkFolderEdit::DroppedFolder(const QMimeData& data) {
  const QList<QUrl> urls = data.urls();
  if (urls.isEmpty() || !urls.first().isLocalFile()) return {};
  const QString path = QDir::toNativeSeparators(urls.first().toLocalFile());
  if (!IsFolder(ToUtf8(path))) return {};
  return ToQString(StripBackslash(ToUtf8(path)));
}

void TZkFolderEdit::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedFolder(*event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TZkFolderEdit::dragMoveEvent(QDragMoveEvent* event) {
  if (!DroppedFolder(*event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TZkFolderEdit::dropEvent(QDropEvent* event) {
  const QString folder = DroppedFolder(*event->mimeData());
  if (folder.isEmpty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  SetText(folder);
}

}  // namespace zk::ui
