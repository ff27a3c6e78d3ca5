#include "engine/ZkTimering.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "engine/ZkJob.h"
#include "platform/ZkClock.h"

namespace zk {
namespace {

constexpr int kFarFutureYears = 200;
constexpr double kMinutesPerDay = 1440.0;
constexpr double kMillisecondsPerDay = 86400000.0;

// How many days after the start day a search of each kind looks at.
constexpr int kWeekLastOffset = 7;
constexpr int kMonthLastOffset = 31;
constexpr int kYearLastOffset = 366;

// Monday = 0 ... Sunday = 6.
TZkSaveDow IsoDow(TDateTime day) {
  return static_cast<TZkSaveDow>((DayOfWeek(day) + 5) % 7);
}

bool DayMatches(TZkSaveTimerType kind, TDateTime day, TZkSaveDows dows, TZkSaveDayList days, TZkSaveMonths months) {
  const TDateTimeParts parts = DecodeDateTime(day);
  const auto dayOfMonth = static_cast<TZkSaveDay>(parts.Day - 1);
  switch (kind) {
    case TZkSaveTimerType::ttWeek:
      return dows.Contains(IsoDow(day));
    case TZkSaveTimerType::ttMonth:
      return days.Contains(dayOfMonth);
    case TZkSaveTimerType::ttYear:
      return days.Contains(dayOfMonth) && months.Contains(static_cast<TZkSaveMonth>(parts.Month - 1));
    default:
      return false;
  }
}

// The clock's time of day and a Time (exact, or with the 15 digits of the
// job file) differ in their last bits; compared as doubles, an entry computed
// at exactly its time could stay on today and come due again at once. Both
// mean whole milliseconds, so they are compared as such.
bool IsBeforeTime(TDateTime timeOfDay, TDateTime time) {
  return std::llround(timeOfDay * kMillisecondsPerDay) < std::llround(time * kMillisecondsPerDay);
}

int LastOffset(TZkSaveTimerType kind) {
  switch (kind) {
    case TZkSaveTimerType::ttWeek:
      return kWeekLastOffset;
    case TZkSaveTimerType::ttMonth:
      return kMonthLastOffset;
    default:
      return kYearLastOffset;
  }
}

// "sd01" ... "sd31".
std::vector<std::string> DayNames() {
  std::vector<std::string> names;
  for (int day = 1; day <= 31; ++day) {
    std::string name = day < 10 ? "sd0" : "sd";
    name += std::to_string(day);
    names.push_back(std::move(name));
  }
  return names;
}

}  // namespace

TDateTime FarFutureMoment(TDateTime today) {
  const TDateTimeParts parts = DecodeDateTime(today);
  const int year = std::min(parts.Year + kFarFutureYears, 9999);
  return EncodeDate(year, parts.Month, std::min(parts.Day, DaysInMonth(year, parts.Month)));
}

TZkThreadSaveTimering::TZkThreadSaveTimering() : defineOutput_(this) {}

template <class V>
void TZkThreadSaveTimering::Change(V& field, V value) {
  if (field == value) return;
  field = value;
  RecalcTimer();
}

void TZkThreadSaveTimering::SetTimerType(TZkSaveTimerType value) { Change(timerType_, value); }
void TZkThreadSaveTimering::SetDate(TDateTime value) { Change(date_, value); }
void TZkThreadSaveTimering::SetTime(TDateTime value) { Change(time_, value); }
void TZkThreadSaveTimering::SetInterval(std::int32_t value) { Change(interval_, value); }
void TZkThreadSaveTimering::SetMonths(TZkSaveMonths value) { Change(months_, value); }
void TZkThreadSaveTimering::SetDows(TZkSaveDows value) { Change(dows_, value); }
void TZkThreadSaveTimering::SetDays(TZkSaveDayList value) { Change(days_, value); }

const platform::TZkClock& TZkThreadSaveTimering::Clock() const {
  const auto* job = Collection() != nullptr ? dynamic_cast<const TZkThreadSaveTask*>(Collection()->Owner()) : nullptr;
  return job != nullptr ? job->Clock() : platform::SystemClock();
}

void TZkThreadSaveTimering::RecalcTimer() {
  RecalcTimer(Clock());
}

std::optional<TDateTime> TZkThreadSaveTimering::LastDueMoment(TDateTime now) const {
  const TDateTime today = DateOf(now);
  const TDateTime timeOfDay = now - today;
  // The latest day on which the entry's time of day has come.
  const TDateTime latest = IsBeforeTime(timeOfDay, time_) ? today - 1 : today;
  switch (timerType_) {
    case TZkSaveTimerType::ttDay:
      return latest + time_;
    case TZkSaveTimerType::ttWeek:
    case TZkSaveTimerType::ttMonth:
    case TZkSaveTimerType::ttYear:
      for (int k = 0; k <= LastOffset(timerType_); ++k)
        if (DayMatches(timerType_, latest - k, dows_, days_, months_)) return latest - k + time_;
      return std::nullopt;
    case TZkSaveTimerType::ttTime:
      if (interval_ <= 0) return std::nullopt;
      return (now * kMinutesPerDay - interval_) / kMinutesPerDay;
    case TZkSaveTimerType::ttOne:
      if (date_ + time_ > now) return std::nullopt;
      return date_ + time_;
  }
  return std::nullopt;
}

void TZkThreadSaveTimering::CatchUpMoment(TDateTime missed) {
  timer_.store(missed);
  catchingUp_.store(true);
}

void TZkThreadSaveTimering::RecalcTimer(const platform::TZkClock& clock) {
  catchingUp_.store(false);
  const TDateTime now = clock.Now();
  const TDateTime today = DateOf(now);
  const TDateTime timeOfDay = now - today;
  TDateTime timer = 0;
  switch (timerType_) {
    case TZkSaveTimerType::ttDay:
      timer = IsBeforeTime(timeOfDay, time_) ? today + time_ : today + 1 + time_;
      break;
    case TZkSaveTimerType::ttWeek:
    case TZkSaveTimerType::ttMonth:
    case TZkSaveTimerType::ttYear: {
      const TDateTime start = IsBeforeTime(timeOfDay, time_) ? today : today + 1;
      for (int k = 0; k <= LastOffset(timerType_) && timer < today; ++k)
        if (DayMatches(timerType_, start + k, dows_, days_, months_)) timer = start + k + time_;
      if (timer == 0) timer = FarFutureMoment(today);
      break;
    }
    case TZkSaveTimerType::ttTime:
      timer = (now * kMinutesPerDay + interval_) / kMinutesPerDay;
      break;
    case TZkSaveTimerType::ttOne:
      timer = date_ + time_;
      if (now > timer) timer = FarFutureMoment(today);
      break;
  }
  timer_.store(timer);
}

std::string TZkThreadSaveTimering::DisplayName() const {
  return name_.empty() ? TZkCollectionItem::DisplayName() : name_;
}

void TZkThreadSaveTimering::Assign(const TZkPersistent& source) {
  const auto* from = AssignPublished<TZkThreadSaveTimering, TZkCollectionItem>(source);
  // The setters recompute Timer and its own setter ignores the value: the
  // copy takes the source's as it is.
  if (from != nullptr) timer_.store(from->timer_.load());
}

const TPropList& TZkThreadSaveTimering::ClassProperties() {
  using T = TZkThreadSaveTimering;
  static const TPropList list =
      TPropTable<T>(TZkCollectionItem::ClassProperties())
          .String("Name", &T::Name, &T::SetName)
          .Enumeration("TimerType", {"ttDay", "ttWeek", "ttMonth", "ttYear", "ttTime", "ttOne"}, &T::TimerType,
                       &T::SetTimerType, TZkSaveTimerType::ttDay)
          .Float("Date", &T::Date, &T::SetDate)
          .Float("Time", &T::Time, &T::SetTime)
          .Float("Timer", &T::Timer, &T::SetTimer)
          .Integer("Interval", &T::Interval, &T::SetInterval, 180)
          .Set("Months",
               {"smJanuary", "smFebruary", "smMarch", "smApril", "smMay", "smJune", "smJuly", "smAugust",
                "smSeptember", "smOctober", "smNovember", "smDecember"},
               &T::Months, &T::SetMonths)
          .Set("Dows", {"sdMonday", "sdTuesday", "sdWednesday", "sdThursday", "sdFriday", "sdSaturday", "sdSunday"},
               &T::Dows, &T::SetDows)
          .Set("Days", DayNames(), &T::Days, &T::SetDays)
          .Boolean("ExtendedSaving", &T::ExtendedSaving, &T::SetExtendedSaving)
          .Boolean("UpdateSaving", &T::UpdateSaving, &T::SetUpdateSaving)
          .Boolean("ExtendUpdateSaving", &T::ExtendUpdateSaving, &T::SetExtendUpdateSaving)
          .Object("DefineOutput", [](T& t) -> TZkPersistent& { return t.DefineOutput(); })
          .List();
  return list;
}

}  // namespace zk
