#pragma once

#include <QTimeEdit>

#include "base/ZkDateTime.h"
#include "ui/controls/BoundControl.h"

namespace zk::ui {

// A time of day to the second, held as a TDateTime's fraction of a day.
class TimePicker : public QTimeEdit, public BoundControl {
  Q_OBJECT

public:
  explicit TimePicker(QWidget* parent = nullptr);

  // 0 for midnight up to just below 1; the whole days of a value given are
  // dropped, a value that rounds to midnight gives midnight.
  TDateTime Time() const;
  void SetTime(TDateTime value);

  ControlKind Kind() const override { return ControlKind::TimePicker; }
  QVariant Value() const override { return Time(); }
  void SetValue(const QVariant& value) override { SetTime(value.toDouble()); }
};

}  // namespace zk::ui
