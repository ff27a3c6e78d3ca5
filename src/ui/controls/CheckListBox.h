#pragma once

#include <QListWidget>
#include <QStringList>

#include "ui/controls/BoundControl.h"

namespace zk::ui {

// A list of items, each with a check box, laid out in columns (the items
// fill a row before the next). Its value is a bit mask: bit i is item i, so
// items from 63 on have no bit and are left out of it.
class CheckListBox : public QListWidget, public BoundControl {
  Q_OBJECT

public:
  explicit CheckListBox(const QStringList& items = {}, QWidget* parent = nullptr);

  // New items start unchecked; replacing the items is no change of the
  // value and raises no OnChange.
  void SetItems(const QStringList& items);
  QStringList Items() const;
  int Columns() const { return columns_; }
  // At least 1.
  void SetColumns(int columns);
  bool Checked(int index) const;
  void SetChecked(int index, bool checked);
  qint64 Bits() const;
  // Bits beyond the items are ignored. One OnChange when any item changed.
  void SetBits(qint64 bits);

  ControlKind Kind() const override { return ControlKind::CheckListBox; }
  QVariant Value() const override { return Bits(); }
  void SetValue(const QVariant& value) override { SetBits(value.toLongLong()); }

protected:
  void resizeEvent(QResizeEvent* event) override;

private:
  void Arrange();

  int columns_ = 1;
  // Set while items are replaced or several change at once.
  bool quiet_ = false;
};

}  // namespace zk::ui
