#include "ui/controls/TimePicker.h"

#include <cmath>

namespace zk::ui {
namespace {

constexpr double kMillisecondsPerDay = 24.0 * 60 * 60 * 1000;

}  // namespace

TimePicker::TimePicker(QWidget* parent) : QTimeEdit(parent) {
  setDisplayFormat(QStringLiteral("HH:mm:ss"));
  setTime(QTime(0, 0));
  connect(this, &QTimeEdit::timeChanged, this, [this] { Changed(*this); });
}

TDateTime TimePicker::Time() const { return time().msecsSinceStartOfDay() / kMillisecondsPerDay; }

void TimePicker::SetTime(TDateTime value) {
  const double fraction = std::isfinite(value) ? TimeOf(value) : 0.0;
  const auto milliseconds = static_cast<int>(std::llround(fraction * kMillisecondsPerDay));
  setTime(QTime::fromMSecsSinceStartOfDay(milliseconds % static_cast<int>(kMillisecondsPerDay)));
}

}  // namespace zk::ui
