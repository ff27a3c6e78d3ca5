#include "ui/settings/ZkBinding.h"

#include <QIcon>
#include <QTabWidget>
#include <QTreeWidgetItem>
#include <QVariant>
#include <QWidget>

#include <charconv>
#include <cmath>

#include "base/ZkError.h"
#include "ui/app/ZkQtText.h"
#include "ui/app/ZkUiResources.h"
#include "ui/controls/BoundControl.h"
#include "ui/controls/ZkTreeView.h"
#include "util/ZkUtil.h"

namespace zk::ui {
namespace {

constexpr char kPanelProperty[] = "detailPanel";
constexpr char kListNodeProperty[] = "listNode";
constexpr int kEntryNodeRole = Qt::UserRole + 1;
constexpr int kEntryImageRole = Qt::UserRole + 2;

QIcon ImageListIcon(int image) {
  LoadUiResources();
  const char* name = nullptr;
  switch (image) {
    case 16: name = "entry-mask"; break;
    case 17: name = "entry-folder"; break;
    case 18: name = "entry-file"; break;
    case 20: name = "exclude-mask"; break;
    case 21: name = "exclude-folder"; break;
    case 22: name = "exclude-file"; break;
    case 33: name = "schedule"; break;
    case 40: name = "action"; break;
    default: return {};
  }
  return QIcon(QStringLiteral(":/settings/icons/%1.svg").arg(QLatin1String(name)));
}

// The direct child widgets in child order (the order they were created in).
QList<QWidget*> ChildWidgets(const QWidget& container) {
  return container.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
}

// A whole number of the text and nothing else (blanks around it allowed).
int StrictInteger(const std::string& text) {
  const std::string trimmed = TrimText(text);
  int value = 0;
  const char* first = trimmed.data();
  const char* last = first + trimmed.size();
  if (first != last && *first == '+') ++first;
  const auto [end, error] = std::from_chars(first, last, value);
  if (trimmed.empty() || error != std::errc() || end != last)
    throw EZkConvertError("'" + text + "' nem érvényes egész szám");
  return value;
}

}  // namespace

QString HintField(const QString& hint, int n) {
  return ToQString(FieldOf(ToUtf8(hint) + ";;;;;;;;;", ";", n));
}

std::string HintKey(const QWidget& control) { return ToUtf8(HintField(Hint(control), 1)); }

TZkTreeView* NearestList(const QWidget& control) {
  for (const QWidget* container = control.parentWidget(); container != nullptr;
       container = container->parentWidget()) {
    const QList<QWidget*> children = ChildWidgets(*container);
    for (auto child = children.crbegin(); child != children.crend(); ++child)
      if (auto* list = qobject_cast<TZkTreeView*>(*child)) return list;
  }
  return nullptr;
}

void MarkDetailPanel(QWidget& panel) { panel.setProperty(kPanelProperty, true); }

QWidget* DetailPanel(const TZkTreeView& list) {
  if (list.parentWidget() == nullptr) return nullptr;
  const QList<QWidget*> children = ChildWidgets(*list.parentWidget());
  for (auto child = children.crbegin(); child != children.crend(); ++child)
    if (qobject_cast<QTabWidget*>(*child) != nullptr || (*child)->property(kPanelProperty).toBool()) return *child;
  return nullptr;
}

BoundControl* AsBound(QWidget& widget) { return dynamic_cast<BoundControl*>(&widget); }

void LoadValue(BoundControl& control, const std::string& text) {
  switch (control.Kind()) {
    case ControlKind::SpinEdit:
      control.SetValue(text.empty() ? 0 : StrictInteger(text));
      return;
    case ControlKind::DateEdit:
    case ControlKind::TimePicker:
      control.SetValue(LeadingFloat(text));
      return;
    case ControlKind::Edit:
      control.SetValue(ToQString(text));
      return;
    case ControlKind::CheckBox:
      control.SetValue(LeadingInt(text) != 0);
      return;
    case ControlKind::RadioGroup:
      control.SetValue(LeadingInt(text));
      return;
    case ControlKind::CheckListBox:
      control.SetValue(static_cast<qint64>(LeadingInt64(text)));
      return;
  }
}

std::string ReadValue(const BoundControl& control, const TFormatSettings& settings) {
  const QVariant value = control.Value();
  switch (control.Kind()) {
    case ControlKind::SpinEdit:
    case ControlKind::RadioGroup:
      return std::to_string(value.toInt());
    case ControlKind::DateEdit:
      // Whole days: a number without a decimal separator in any locale.
      return std::to_string(static_cast<long long>(std::floor(value.toDouble())));
    case ControlKind::TimePicker:
      return FloatToStr(value.toDouble(), settings);
    case ControlKind::Edit:
      return ToUtf8(value.toString());
    case ControlKind::CheckBox:
      return value.toBool() ? "1" : "0";
    case ControlKind::CheckListBox:
      return std::to_string(value.toLongLong());
  }
  return {};
}

void SetListNode(TZkTreeView& list, TZkTreeDataNode* node) {
  list.setProperty(kListNodeProperty, QVariant::fromValue(static_cast<void*>(node)));
}

TZkTreeDataNode* ListNode(const TZkTreeView& list) {
  return static_cast<TZkTreeDataNode*>(list.property(kListNodeProperty).value<void*>());
}

void SetEntryNode(QTreeWidgetItem& entry, TZkTreeDataNode* node) {
  entry.setData(0, kEntryNodeRole, QVariant::fromValue(static_cast<void*>(node)));
}

TZkTreeDataNode* EntryNode(const QTreeWidgetItem* entry) {
  return entry == nullptr ? nullptr : static_cast<TZkTreeDataNode*>(entry->data(0, kEntryNodeRole).value<void*>());
}

void SetEntryImage(QTreeWidgetItem& entry, int image) {
  entry.setData(0, kEntryImageRole, image);
  entry.setIcon(0, ImageListIcon(image));
}

int EntryImage(const QTreeWidgetItem& entry) { return entry.data(0, kEntryImageRole).toInt(); }

}  // namespace zk::ui
