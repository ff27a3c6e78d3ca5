#pragma once

#include <QLineEdit>

#include "ui/controls/BoundControl.h"

namespace zk::ui {

// A plain one-line edit field; its value is its text.
class TZkEdit : public QLineEdit, public BoundControl {
  Q_OBJECT

public:
  explicit TZkEdit(QWidget* parent = nullptr);

  ControlKind Kind() const override { return ControlKind::Edit; }
  QVariant Value() const override { return text(); }
  void SetValue(const QVariant& value) override { setText(value.toString()); }
};

}  // namespace zk::ui
