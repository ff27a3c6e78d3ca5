#pragma once

#include <QCheckBox>

#include "ui/controls/BoundControl.h"

namespace zk::ui {

// A two-state check box; its value is whether it is checked.
class TZkCheckBox : public QCheckBox, public BoundControl {
  Q_OBJECT

public:
  explicit TZkCheckBox(const QString& caption = {}, QWidget* parent = nullptr);

  ControlKind Kind() const override { return ControlKind::CheckBox; }
  QVariant Value() const override { return isChecked(); }
  void SetValue(const QVariant& value) override { setChecked(value.toBool()); }
};

}  // namespace zk::ui
