#include "ui/controls/ZkLabel.h"

namespace zk::ui {

TZkLabel::TZkLabel(const QString& caption, QWidget* buddy, QWidget* parent) : QLabel(caption, parent) {
  if (buddy == nullptr) return;
  setBuddy(buddy);
  QString name = caption;
  // A doubled "&" stands for itself; a single one marks the mnemonic.
  name.replace(QStringLiteral("&&"), QStringLiteral("\x01")).remove(QLatin1Char('&')).replace(QLatin1Char('\x01'), QLatin1Char('&'));
  // A composite field takes the focus through its proxy, which a screen
  // reader announces, so both carry the name.
  for (QWidget* named : {buddy, buddy->focusProxy()}) {
    if (named != nullptr && named->accessibleName().isEmpty()) named->setAccessibleName(name.trimmed());
  }
}

}  // namespace zk::ui
