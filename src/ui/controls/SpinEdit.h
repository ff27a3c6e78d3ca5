#pragma once

#include <QSpinBox>

#include "ui/controls/BoundControl.h"

namespace zk::ui {

// A whole number between a minimum and a maximum; a value outside is set to
// the nearer bound.
class SpinEdit : public QSpinBox, public BoundControl {
  Q_OBJECT

public:
  explicit SpinEdit(int minimum, int maximum, QWidget* parent = nullptr);

  ControlKind Kind() const override { return ControlKind::SpinEdit; }
  QVariant Value() const override { return value(); }
  void SetValue(const QVariant& value) override { setValue(value.toInt()); }
};

}  // namespace zk::ui
