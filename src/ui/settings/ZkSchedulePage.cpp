#include "ui/settings/ZkSetBackupForm.h"

#include <QGridLayout>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include "ui/controls/CheckListBox.h"
#include "ui/controls/RadioGroup.h"
#include "ui/controls/ZkCheckBox.h"
#include "ui/controls/ZkTreeView.h"
#include "ui/settings/ZkBinding.h"
#include "ui/settings/ZkPageRows.h"

// "Ütemezés": the schedule's list, and beside it the selected entry's
// parameters and its own output.

namespace zk::ui {

namespace {

using detail::kBoxRows;
using detail::kEntryDuplicateRows;
using detail::kEntrySaveRows;
using detail::kMomentRows;
using detail::kTypeRows;
using detail::NewPage;
using detail::NewTabs;
using detail::PackModes;

const QStringList kTimerTypes = {QStringLiteral("Naponta"), QStringLiteral("Hetente"), QStringLiteral("Havonta"),
                                 QStringLiteral("Évente"),  QStringLiteral("Időzítő"), QStringLiteral("Egyszeri")};
const QStringList kWeekDays = {QStringLiteral("Hétfő"),  QStringLiteral("Kedd"),     QStringLiteral("Szerda"),
                               QStringLiteral("Csütörtök"), QStringLiteral("Péntek"), QStringLiteral("Szombat"),
                               QStringLiteral("Vasárnap")};
const QStringList kMonths = {QStringLiteral("Január"),    QStringLiteral("Február"), QStringLiteral("Március"),
                             QStringLiteral("Április"),   QStringLiteral("Május"),   QStringLiteral("Június"),
                             QStringLiteral("Július"),    QStringLiteral("Augusztus"), QStringLiteral("Szeptember"),
                             QStringLiteral("Október"),   QStringLiteral("November"), QStringLiteral("December")};

// The schedule types whose controls are switched on and off.
constexpr int kWeekly = 1;
constexpr int kMonthly = 2;
constexpr int kYearly = 3;
constexpr int kTimer = 4;
constexpr int kOnce = 5;

QStringList DayNumbers() {
  QStringList days;
  for (int day = 1; day <= 31; ++day) days << QString::number(day);
  return days;
}

}  // namespace

void TZkSetBackupForm::AddSchedulePage() {
  const TListRow& row = detail::ListRow(detail::kTimerList);
  QWidget* page = NewPage(row.PageName);
  auto* grid = new QGridLayout(page);
  grid->addWidget(&BuildToolBar(*page, row.ToolBar, Qt::Horizontal), 0, 0);
  grid->addWidget(&BuildList(*page, row), 1, 0);
  QTabWidget* detail = NewTabs(page, "TimerDetail");
  detail->addTab(BuildParameterPage(), QStringLiteral("Paraméter"));
  QWidget* own = NewPage("TimerSheet2");
  auto* ownLayout = new QVBoxLayout(own);
  QTabWidget* ownTabs = NewTabs(own, "TimerOutputPages");
  ownTabs->addTab(BuildPage(kEntrySaveRows, "TabSheet16"), QStringLiteral("Mentés"));
  ownTabs->addTab(BuildPage(kEntryDuplicateRows, "TabSheet17"), QStringLiteral("Másolat"));
  ownLayout->addWidget(ownTabs);
  detail->addTab(own, QStringLiteral("Egyedi mentés helye"));
  // Shown while "Egyedi mentés" is checked, which it is not before a load.
  detail->setTabVisible(detail->indexOf(own), false);
  grid->addWidget(detail, 0, 1, 2, 1);
  grid->setColumnStretch(0, 2);
  grid->setColumnStretch(1, 5);
  pages_->addTab(page, QStringLiteral("Ütemezés"));

  auto& entryPackMode = static_cast<RadioGroup&>(Control("RadioGroup1"));
  entryPackMode.SetItems(PackModes());
  entryPackMode.SetColumns(2);
  auto& type = static_cast<RadioGroup&>(Control("TimerTipus"));
  type.SetItems(kTimerTypes);
  type.SetColumns(4);
  auto& months = static_cast<CheckListBox&>(Control("TimerBox1"));
  months.SetItems(kMonths);
  months.SetColumns(2);
  // The week's days or the year's months, as the entry's type says.
  months.setAccessibleName(QStringLiteral("Napok vagy hónapok"));
  auto& days = static_cast<CheckListBox&>(Control("TimerBox2"));
  days.SetItems(DayNumbers());
  days.SetColumns(5);
  days.setAccessibleName(QStringLiteral("A hónap napjai"));
}

QWidget* TZkSetBackupForm::BuildParameterPage() {
  QWidget* page = NewPage("TimerSheet1");
  auto* grid = new QGridLayout(page);
  AddRows(*page, *grid, kTypeRows);
  auto* panel = new QWidget(page);
  panel->setObjectName(QStringLiteral("Panel7"));
  auto* boxes = new QGridLayout(panel);
  boxes->setContentsMargins(0, 0, 0, 0);
  AddRows(*panel, *boxes, kBoxRows);
  boxes->setColumnStretch(0, 1);
  boxes->setColumnStretch(1, 1);
  panel->installEventFilter(this);
  grid->addWidget(panel, 1, 0, 1, 4);
  grid->setRowStretch(1, 1);
  AddRows(*page, *grid, kMomentRows);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  return page;
}

void TZkSetBackupForm::RadioGroup2Click(QWidget& sender) {
  const bool zip = static_cast<RadioGroup&>(sender).ItemIndex() > 0;
  for (const char* name : {"ZkEdit1", "CheckBox14", "CheckBox8"}) Control(name).setEnabled(zip);
  auto& tabs = static_cast<QTabWidget&>(Control("TimerOutputPages"));
  tabs.setTabVisible(tabs.indexOf(&Control("TabSheet17")), zip);
  DataChange(sender);
}

void TZkSetBackupForm::TimerExtSavingClick(QWidget& sender) {
  DataChange(sender);
  auto& tabs = static_cast<QTabWidget&>(Control("TimerDetail"));
  tabs.setTabVisible(tabs.indexOf(&Control("TimerSheet2")), static_cast<TZkCheckBox&>(sender).isChecked());
}

void TZkSetBackupForm::TimerTipusClick(QWidget& sender) {
  DataChange(sender);
  const int type = static_cast<RadioGroup&>(sender).ItemIndex();
  Control("TimerDate").setEnabled(type == kOnce);
  Control("TimerTime").setEnabled(type != kTimer);
  Control("TimerBox1").setEnabled(type == kWeekly || type == kYearly);
  Control("TimerBox2").setEnabled(type == kMonthly || type == kYearly);
  Control("TimerInterval").setEnabled(type == kTimer);
  auto& box = static_cast<CheckListBox&>(Control("TimerBox1"));
  if (type == kWeekly) {
    box.SetItems(kWeekDays);
    SetHint(box, QStringLiteral("Dows"));
  } else if (type == kYearly) {
    box.SetItems(kMonths);
    SetHint(box, QStringLiteral("Months"));
  } else {
    SetHint(box, {});
  }
  LoadControl(box, DescribeList(NearestList(box)).Selected);
}

void TZkSetBackupForm::Panel7Resize() {
  // Setting the columns anew lays the 31 days out again in the new width.
  auto& days = static_cast<CheckListBox&>(Control("TimerBox2"));
  days.SetColumns(7);
  days.SetColumns(5);
  // Room for the schedule's list beside its detail and for the longest
  // names; the window grows with the user's font and can be resized.
  resize(sizeHint().expandedTo(QSize(780, 470)));
}

}  // namespace zk::ui
