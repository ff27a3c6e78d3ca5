#pragma once

#include <QDateEdit>

#include "base/ZkDateTime.h"
#include "ui/controls/BoundControl.h"

namespace zk::ui {

// A date in whole days, typed or picked from a calendar that drops down.
// Day 0 (1899-12-30) means "no date" and shows an empty field; the field
// holds days 0 to 9999-12-31, and a value outside is set to the nearer end.
class TZkDateEdit : public QDateEdit, public BoundControl {
  Q_OBJECT

public:
  explicit TZkDateEdit(QWidget* parent = nullptr);

  // The time of day of a value given is dropped.
  TDateTime Date() const;
  void SetDate(TDateTime value);

  ControlKind Kind() const override { return ControlKind::DateEdit; }
  QVariant Value() const override { return Date(); }
  void SetValue(const QVariant& value) override { SetDate(value.toDouble()); }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

// Converts between a TDateTime's whole days and a calendar date.
QDate DateOfDays(TDateTime days);
TDateTime DaysOfDate(const QDate& date);

}  // namespace zk::ui
