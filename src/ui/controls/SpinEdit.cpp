#include "ui/controls/SpinEdit.h"

namespace zk::ui {

SpinEdit::SpinEdit(int minimum, int maximum, QWidget* parent) : QSpinBox(parent) {
  setRange(minimum, maximum);
  connect(this, &QSpinBox::valueChanged, this, [this] { Changed(*this); });
}

}  // namespace zk::ui
