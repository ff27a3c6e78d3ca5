#pragma once
// What the settings window's binder sees of every control it binds: the
// kind, which decides how a stored text becomes a value and back, the value
// itself and one change event. The node a control stands for is named by its
// hint, a dynamic property, so that the tooltip stays free for help.

#include <QString>
#include <QVariant>
#include <functional>

class QObject;
class QWidget;

namespace zk::ui {

// The value each kind carries in Value() and SetValue():
//   SpinEdit      int, the number
//   DateEdit      double, a TDateTime of whole days
//   TimePicker    double, the time of day as a fraction of a day
//   Edit          QString, the text
//   CheckBox      bool, checked
//   RadioGroup    int, the index of the chosen item (-1 none)
//   CheckListBox  qint64, bit i set when item i is checked
enum class ControlKind { SpinEdit, DateEdit, TimePicker, Edit, CheckBox, RadioGroup, CheckListBox };

class BoundControl {
public:
  BoundControl() = default;
  BoundControl(const BoundControl&) = delete;
  BoundControl& operator=(const BoundControl&) = delete;

  virtual ControlKind Kind() const = 0;
  virtual QVariant Value() const = 0;
  // An empty QVariant empties the control: no text, unchecked, item 0,
  // no items checked, day 0, midnight, and the number 0 (or the lowest a
  // spin edit allows).
  virtual void SetValue(const QVariant& value) = 0;

  // Runs after every change of the value, whether the user or the program
  // made it (loading a control raises it too).
  std::function<void(QWidget& sender)> OnChange;

protected:
  ~BoundControl() = default;
  void Changed(QWidget& sender) {
    if (OnChange) OnChange(sender);
  }
};

// The binder's hint of a control: "Key;Default" for a simple control,
// "ListNode;EntryName" for a list. Empty when none was set.
inline constexpr char kHintProperty[] = "hint";
QString Hint(const QObject& control);
void SetHint(QObject& control, const QString& hint);

}  // namespace zk::ui
