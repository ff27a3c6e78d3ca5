#include "ui/controls/RadioGroup.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>
#include <algorithm>

namespace zk::ui {

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), buttons_(new QButtonGroup(this)), grid_(new QGridLayout(this)) {
  setAccessibleName(caption.trimmed());
  connect(buttons_, &QButtonGroup::idToggled, this, [this](int, bool checked) {
    // The button left and the button chosen both report; one change.
    if (checked) Changed(*this);
  });
  SetItems(items);
}

void RadioGroup::SetItems(const QStringList& items) {
  for (QAbstractButton* button : buttons_->buttons()) {
    buttons_->removeButton(button);
    delete button;
  }
  items_ = items;
  for (int i = 0; i < items_.size(); ++i) buttons_->addButton(new QRadioButton(items_[i], this), i);
  Arrange();
}

void RadioGroup::SetColumns(int columns) {
  columns_ = std::max(1, columns);
  Arrange();
}

void RadioGroup::Arrange() {
  for (QAbstractButton* button : buttons_->buttons()) grid_->removeWidget(button);
  for (int i = 0; i < items_.size(); ++i) grid_->addWidget(buttons_->button(i), i / columns_, i % columns_);
}

int RadioGroup::ItemIndex() const { return buttons_->checkedId(); }

void RadioGroup::SetItemIndex(int index) {
  index = std::clamp(index, -1, static_cast<int>(items_.size()) - 1);
  if (index == ItemIndex()) return;
  if (index >= 0) {
    buttons_->button(index)->setChecked(true);
    return;
  }
  // An exclusive group never unchecks its last button by itself.
  QAbstractButton* chosen = buttons_->checkedButton();
  buttons_->setExclusive(false);
  chosen->setChecked(false);
  buttons_->setExclusive(true);
  Changed(*this);
}

}  // namespace zk::ui
