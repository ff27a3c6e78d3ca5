#include "ui/controls/BoundControl.h"

#include <QObject>

namespace zk::ui {

QString Hint(const QObject& control) { return control.property(kHintProperty).toString(); }

void SetHint(QObject& control, const QString& hint) { control.setProperty(kHintProperty, hint); }

}  // namespace zk::ui
