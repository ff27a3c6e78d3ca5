#include "ui/controls/ZkDateEdit.h"

#include <QCalendarWidget>
#include <QEvent>
#include <cmath>
#include <utility>

namespace zk::ui {
namespace {

const QDate kDayZero(1899, 12, 30);
const QDate kLastDay(9999, 12, 31);

}  // namespace

QDate DateOfDays(TDateTime days) { return kDayZero.addDays(static_cast<qint64>(std::trunc(days))); }

TDateTime DaysOfDate(const QDate& date) { return static_cast<TDateTime>(kDayZero.daysTo(date)); }

TZkDateEdit::TZkDateEdit(QWidget* parent) : QDateEdit(parent) {
  setDateRange(kDayZero, kLastDay);
  // The minimum is day 0: shown as an empty field.
  setSpecialValueText(QStringLiteral(" "));
  setDate(kDayZero);
  setCalendarPopup(true);
  calendarWidget()->installEventFilter(this);
  // The calendar's own controls carry no names of their own.
  calendarWidget()->setAccessibleName(QStringLiteral("Naptár"));
  for (const auto& [objectName, name] : {std::pair{"qt_calendar_calendarview", "A hónap napjai"},
                                         std::pair{"qt_calendar_yearedit", "Év"}})
    if (auto* control = calendarWidget()->findChild<QWidget*>(QLatin1String(objectName)))
      control->setAccessibleName(QString::fromUtf8(name));
  connect(this, &QDateEdit::dateChanged, this, [this] { Changed(*this); });
}

TDateTime TZkDateEdit::Date() const { return DaysOfDate(date()); }

void TZkDateEdit::SetDate(TDateTime value) {
  // NaN and days before day 0 both give day 0.
  const TDateTime days = value >= 0 ? std::trunc(value) : 0.0;
  setDate(days >= DaysOfDate(kLastDay) ? kLastDay : DateOfDays(days));
}

bool TZkDateEdit::eventFilter(QObject* watched, QEvent* event) {
  // An empty field opens the calendar at this month, not at 1899.
  if (watched == calendarWidget() && event->type() == QEvent::Show && date() == kDayZero) {
    const QDate today = QDate::currentDate();
    calendarWidget()->setCurrentPage(today.year(), today.month());
  }
  return QDateEdit::eventFilter(watched, event);
}

}  // namespace zk::ui
