#include "ui/controls/ZkEdit.h"

namespace zk::ui {

TZkEdit::TZkEdit(QWidget* parent) : QLineEdit(parent) {
  connect(this, &QLineEdit::textChanged, this, [this] { Changed(*this); });
}

}  // namespace zk::ui
