#include <gtest/gtest.h>

#include <QApplication>
#include <QCalendarWidget>
#include <QImage>
#include <QKeyEvent>
#include <QRadioButton>
#include <QTest>
#include <vector>

#include "ui/controls/CheckListBox.h"
#include "ui/controls/ControlIcons.h"
#include "ui/controls/RadioGroup.h"
#include "ui/controls/SpeedButton.h"
#include "ui/controls/SpinEdit.h"
#include "ui/controls/TimePicker.h"
#include "ui/controls/ZkCheckBox.h"
#include "ui/controls/ZkDateEdit.h"
#include "ui/controls/ZkEdit.h"
#include "ui/controls/ZkFolderEdit.h"
#include "ui/controls/ZkLabel.h"

namespace zk::ui {
namespace {

// A key pressed and released on a widget of a popup, which the offscreen
// platform never makes the active window that QTest waits for.
void PressKey(QWidget& widget, Qt::Key key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(&widget, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
  QApplication::sendEvent(&widget, &release);
}

// Whole days go in and come out unchanged; the time of day is dropped and
// values beyond the field's range stop at its ends.
TEST(ZkDateEdit, KeepsWholeDays) {
  struct TCase {
    double Given;
    double Kept;
    QDate Shown;
  };
  const TCase cases[] = {
      {0, 0, QDate(1899, 12, 30)},
      {1, 1, QDate(1899, 12, 31)},
      {45658, 45658, QDate(2025, 1, 1)},
      {45658.75, 45658, QDate(2025, 1, 1)},
      {2958465, 2958465, QDate(9999, 12, 31)},
      {1e12, 2958465, QDate(9999, 12, 31)},
      {-3.5, 0, QDate(1899, 12, 30)},
  };
  TZkDateEdit edit;
  for (const TCase& c : cases) {
    edit.SetDate(c.Given);
    EXPECT_EQ(edit.Date(), c.Kept) << c.Given;
    EXPECT_EQ(edit.date(), c.Shown) << c.Given;
    EXPECT_EQ(edit.Value().toDouble(), c.Kept) << c.Given;
  }
}

// Day 0 stands for "no date": the field is empty, and the calendar opens at
// the current month.
TEST(ZkDateEdit, DayZeroShowsAnEmptyField) {
  TZkDateEdit edit;
  edit.SetValue(QVariant());
  EXPECT_EQ(edit.Date(), 0);
  EXPECT_EQ(edit.text().trimmed(), QString());
  edit.show();
  QTest::mouseClick(&edit, Qt::LeftButton, Qt::NoModifier, QPoint(edit.width() - 4, edit.height() / 2));
  QCalendarWidget* calendar = edit.calendarWidget();
  ASSERT_TRUE(calendar->isVisible());
  EXPECT_EQ(calendar->yearShown(), QDate::currentDate().year());
  EXPECT_EQ(calendar->monthShown(), QDate::currentDate().month());
  calendar->window()->close();

  edit.SetDate(45658);
  EXPECT_FALSE(edit.text().trimmed().isEmpty());
}

// A day picked in the calendar becomes the Date.
TEST(ZkDateEdit, DayPickedInTheCalendarBecomesTheDate) {
  TZkDateEdit edit;
  edit.SetDate(45658);
  edit.show();
  // The arrow drops the calendar down at 2025-01-01; two weeks and five
  // days on, Enter takes the 20th.
  QTest::mouseClick(&edit, Qt::LeftButton, Qt::NoModifier, QPoint(edit.width() - 4, edit.height() / 2));
  QCalendarWidget* calendar = edit.calendarWidget();
  ASSERT_TRUE(calendar->isVisible());
  QWidget* days = calendar->focusWidget() != nullptr ? calendar->focusWidget() : calendar;
  for (int i = 0; i < 2; ++i) PressKey(*days, Qt::Key_Down);
  for (int i = 0; i < 5; ++i) PressKey(*days, Qt::Key_Right);
  PressKey(*days, Qt::Key_Return);
  EXPECT_EQ(edit.Date(), 45677);
  EXPECT_FALSE(calendar->isVisible());
}

TEST(TimePicker, KeepsTheTimeOfDayAsAFraction) {
  TimePicker picker;
  for (const auto& [given, kept] : {std::pair{0.5, 0.5}, std::pair{0.75, 0.75}, std::pair{45658.25, 0.25}, std::pair{0.0, 0.0}}) {
    picker.SetTime(given);
    EXPECT_DOUBLE_EQ(picker.Time(), kept) << given;
  }
  picker.SetTime(0.5);
  EXPECT_EQ(picker.time(), QTime(12, 0));
}

TEST(RadioGroup, ItemIndexFollowsTheChosenItem) {
  RadioGroup group(QStringLiteral(" Tömörítési eljárás "), {QStringLiteral("Nincs tömörítés"), QStringLiteral("Zip tömörítés")});
  group.show();
  EXPECT_EQ(group.ItemIndex(), -1);
  std::vector<int> changes;
  group.OnChange = [&group, &changes](QWidget&) { changes.push_back(group.ItemIndex()); };

  const auto buttons = group.findChildren<QRadioButton*>();
  ASSERT_EQ(buttons.size(), 2);
  QTest::mouseClick(buttons[1], Qt::LeftButton);
  EXPECT_EQ(group.Value().toInt(), 1);

  // Out of range: the last item; below -1: none; empty: item 0.
  group.SetItemIndex(7);
  EXPECT_EQ(group.ItemIndex(), 1);
  group.SetItemIndex(-5);
  EXPECT_EQ(group.ItemIndex(), -1);
  EXPECT_FALSE(buttons[0]->isChecked() || buttons[1]->isChecked());
  group.SetValue(QVariant());
  EXPECT_EQ(group.ItemIndex(), 0);
  EXPECT_TRUE(buttons[0]->isChecked());
  EXPECT_EQ(changes, (std::vector<int>{1, -1, 0}));
}

TEST(RadioGroup, ItemsFillTheColumnsRowByRow) {
  RadioGroup group(QStringLiteral("Típusa"), {"Naponta", "Hetente", "Havonta", "Évente", "Időzítő", "Egyszeri"});
  group.SetColumns(4);
  group.show();
  const auto buttons = group.findChildren<QRadioButton*>();
  ASSERT_EQ(buttons.size(), 6);
  // "Időzítő" starts the second row below "Naponta"; "Évente" ends the first.
  EXPECT_EQ(buttons[4]->x(), buttons[0]->x());
  EXPECT_GT(buttons[4]->y(), buttons[0]->y());
  EXPECT_EQ(buttons[3]->y(), buttons[0]->y());
  EXPECT_GT(buttons[3]->x(), buttons[2]->x());
}

TEST(CheckListBox, BitsFollowTheCheckedItems) {
  QStringList days;
  for (int day = 1; day <= 31; ++day) days << QString::number(day);
  CheckListBox box(days);
  box.SetColumns(5);
  box.resize(300, 200);
  box.show();
  int changes = 0;
  box.OnChange = [&changes](QWidget&) { ++changes; };

  box.SetBits((qint64{1} << 0) | (qint64{1} << 14) | (qint64{1} << 30) | (qint64{1} << 40));
  EXPECT_TRUE(box.Checked(0));
  EXPECT_TRUE(box.Checked(14));
  EXPECT_TRUE(box.Checked(30));
  EXPECT_FALSE(box.Checked(1));
  // Bit 40 has no item.
  EXPECT_EQ(box.Value().toLongLong(), (qint64{1} << 0) | (qint64{1} << 14) | (qint64{1} << 30));
  EXPECT_EQ(changes, 1);

  // A user's click on the check box of the 2nd item.
  const QRect second = box.visualItemRect(box.item(1));
  box.setCurrentItem(box.item(1));
  QTest::keyClick(&box, Qt::Key_Space);
  EXPECT_TRUE(box.Checked(1)) << second.x();
  EXPECT_EQ(box.Bits() & 2, 2);
  EXPECT_EQ(changes, 2);
  // Five columns: the 6th day starts the second row.
  EXPECT_EQ(box.visualItemRect(box.item(5)).x(), box.visualItemRect(box.item(0)).x());
  EXPECT_GT(box.visualItemRect(box.item(5)).y(), box.visualItemRect(box.item(0)).y());

  // New items come unchecked, without a change event.
  box.SetItems({QStringLiteral("Hétfő"), QStringLiteral("Kedd")});
  EXPECT_EQ(box.Bits(), 0);
  EXPECT_EQ(changes, 2);
}

// The binder sees every control the same way: its kind and a value that an
// empty QVariant clears.
TEST(BoundControl, EmptyValueClearsEveryKind) {
  TZkEdit edit;
  TZkFolderEdit folder;
  TZkCheckBox check(QStringLiteral("Tiltás"));
  SpinEdit spin(10, 99999999);
  TZkDateEdit date;
  TimePicker time;
  RadioGroup radio(QStringLiteral("Típusa"), {QStringLiteral("a"), QStringLiteral("b")});
  CheckListBox list({QStringLiteral("a"), QStringLiteral("b")});
  struct TCase {
    BoundControl& Control;
    ControlKind Kind;
    QVariant Set;
    QVariant Empty;
  };
  const TCase cases[] = {
      {edit, ControlKind::Edit, QStringLiteral("x.zip"), QString()},
      {folder, ControlKind::Edit, QStringLiteral("/srv"), QString()},
      {check, ControlKind::CheckBox, true, false},
      {spin, ControlKind::SpinEdit, 180, 10},
      {date, ControlKind::DateEdit, 45658.0, 0.0},
      {time, ControlKind::TimePicker, 0.5, 0.0},
      {radio, ControlKind::RadioGroup, 1, 0},
      {list, ControlKind::CheckListBox, qint64{3}, qint64{0}},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(c.Control.Kind(), c.Kind);
    c.Control.SetValue(c.Set);
    EXPECT_EQ(c.Control.Value(), c.Set) << c.Set.toString().toStdString();
    c.Control.SetValue(QVariant());
    EXPECT_EQ(c.Control.Value(), c.Empty) << c.Set.toString().toStdString();
  }
}

// A label names its field for screen readers, also a composite field whose
// focus goes to the edit inside it.
TEST(ZkLabel, NamesItsBuddy) {
  QWidget page;
  auto* edit = new TZkEdit(&page);
  auto* folder = new TZkFolderEdit(&page);
  const TZkLabel nameLabel(QStringLiteral("Archívum &neve"), edit, &page);
  const TZkLabel folderLabel(QStringLiteral("&Cél könyvtár"), folder, &page);
  EXPECT_EQ(nameLabel.buddy(), edit);
  EXPECT_EQ(edit->accessibleName(), QStringLiteral("Archívum neve"));
  EXPECT_EQ(folder->accessibleName(), QStringLiteral("Cél könyvtár"));
  EXPECT_EQ(folder->Edit().accessibleName(), QStringLiteral("Cél könyvtár"));
}

// The pictures come from the library's own resources and draw.
TEST(SpeedButton, ShowsItsPicture) {
  for (const char* name : {"save", "cancel", "abort", "folder"}) {
    SpeedButton button(QStringLiteral("Mentés"), QString::fromLatin1(name));
    ASSERT_FALSE(button.icon().isNull()) << name;
    const QImage picture = button.icon().pixmap(24, 24).toImage();
    ASSERT_FALSE(picture.isNull()) << name;
    // Something is drawn at the middle of the picture.
    EXPECT_GT(qAlpha(picture.pixel(12, 12)), 0) << name;
  }
  EXPECT_TRUE(ControlIcon(QStringLiteral("nincs")).isNull());
}

}  // namespace
}  // namespace zk::ui
