#include "ui/controls/CheckListBox.h"

#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>

namespace zk::ui {
namespace {

constexpr int kMaskBits = 63;

}  // namespace

CheckListBox::CheckListBox(const QStringList& items, QWidget* parent) : QListWidget(parent) {
  setFlow(QListView::LeftToRight);
  setWrapping(true);
  setResizeMode(QListView::Adjust);
  connect(this, &QListWidget::itemChanged, this, [this] {
    if (!quiet_) Changed(*this);
  });
  SetItems(items);
}

void CheckListBox::SetItems(const QStringList& items) {
  quiet_ = true;
  clear();
  for (const QString& text : items) {
    auto* item = new QListWidgetItem(text, this);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
  quiet_ = false;
  Arrange();
}

QStringList CheckListBox::Items() const {
  QStringList texts;
  for (int i = 0; i < count(); ++i) texts << item(i)->text();
  return texts;
}

void CheckListBox::SetColumns(int columns) {
  columns_ = std::max(1, columns);
  Arrange();
}

bool CheckListBox::Checked(int index) const { return item(index)->checkState() == Qt::Checked; }

void CheckListBox::SetChecked(int index, bool checked) { item(index)->setCheckState(checked ? Qt::Checked : Qt::Unchecked); }

qint64 CheckListBox::Bits() const {
  qint64 bits = 0;
  for (int i = 0; i < std::min(count(), kMaskBits); ++i) {
    if (Checked(i)) bits |= qint64{1} << i;
  }
  return bits;
}

void CheckListBox::SetBits(qint64 bits) {
  const qint64 before = Bits();
  quiet_ = true;
  for (int i = 0; i < std::min(count(), kMaskBits); ++i) SetChecked(i, ((bits >> i) & 1) != 0);
  quiet_ = false;
  if (Bits() != before) Changed(*this);
}

void CheckListBox::resizeEvent(QResizeEvent* event) {
  QListWidget::resizeEvent(event);
  Arrange();
}

void CheckListBox::Arrange() {
  // The columns share the width that a vertical bar would leave, so that
  // they still fit when the bar comes.
  const int bar = verticalScrollBar()->isVisible() ? 0 : style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  const int width = viewport()->width() - bar - 1;
  const int height = count() > 0 ? sizeHintForRow(0) : fontMetrics().height();
  setGridSize(QSize(std::max(1, width / columns_), height));
}

}  // namespace zk::ui
