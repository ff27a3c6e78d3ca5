#include "ui/controls/ZkCheckBox.h"

namespace zk::ui {

TZkCheckBox::TZkCheckBox(const QString& caption, QWidget* parent) : QCheckBox(caption, parent) {
  connect(this, &QCheckBox::toggled, this, [this] { Changed(*this); });
}

}  // namespace zk::ui
