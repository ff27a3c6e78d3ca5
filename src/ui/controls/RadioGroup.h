#pragma once

#include <QGroupBox>
#include <QStringList>

#include "ui/controls/BoundControl.h"

class QButtonGroup;
class QGridLayout;

namespace zk::ui {

// A framed group of radio buttons, one per item, laid out in columns (the
// items fill a row before the next). The chosen item is ItemIndex, -1 for
// none.
class RadioGroup : public QGroupBox, public BoundControl {
  Q_OBJECT

public:
  explicit RadioGroup(const QString& caption, const QStringList& items = {}, QWidget* parent = nullptr);

  // New items start with none chosen.
  void SetItems(const QStringList& items);
  QStringList Items() const { return items_; }
  int Columns() const { return columns_; }
  // At least 1.
  void SetColumns(int columns);
  int ItemIndex() const;
  // An index beyond the items chooses the last one, below -1 gives -1.
  void SetItemIndex(int index);

  ControlKind Kind() const override { return ControlKind::RadioGroup; }
  QVariant Value() const override { return ItemIndex(); }
  void SetValue(const QVariant& value) override { SetItemIndex(value.toInt()); }

private:
  void Arrange();

  QStringList items_;
  int columns_ = 1;
  QButtonGroup* buttons_;
  QGridLayout* grid_;
};

}  // namespace zk::ui
