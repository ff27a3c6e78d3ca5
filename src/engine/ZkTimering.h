#pragma once
// Schedule entries: a calendar rule (daily, weekly, monthly, yearly, every N
// minutes, once) and the local moment at which the entry next comes due.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "base/ZkDateTime.h"
#include "engine/ZkDefineOutput.h"
#include "store/Published.h"

namespace zk {

namespace platform {
class TZkClock;
}

enum class TZkSaveTimerType { ttDay, ttWeek, ttMonth, ttYear, ttTime, ttOne };

// Month number m is ordinal m-1.
enum class TZkSaveMonth {
  smJanuary, smFebruary, smMarch, smApril, smMay, smJune,
  smJuly, smAugust, smSeptember, smOctober, smNovember, smDecember
};
// The week starts on Monday: ISO weekday w is ordinal w-1.
enum class TZkSaveDow { sdMonday, sdTuesday, sdWednesday, sdThursday, sdFriday, sdSaturday, sdSunday };
// Day of the month d is ordinal d-1 (sd01 .. sd31).
enum class TZkSaveDay : int {};

using TZkSaveMonths = TZkSet<TZkSaveMonth>;
using TZkSaveDows = TZkSet<TZkSaveDow>;
using TZkSaveDayList = TZkSet<TZkSaveDay>;

// The moment that stands for "never": today 200 calendar years ahead.
TDateTime FarFutureMoment(TDateTime today);

class TZkThreadSaveTimering : public TZkCollectionItem {
public:
  TZkThreadSaveTimering();

  // The next due moment; only RecalcTimer and a copy change it, writing the
  // property (as reading a job file does) has no effect.
  TDateTime Timer() const { return timer_.load(); }
  void SetTimer(TDateTime) {}

  const std::string& Name() const { return name_; }
  void SetName(const std::string& value) { name_ = value; }
  // The setters below recompute Timer when the value changes, and only then.
  TZkSaveTimerType TimerType() const { return timerType_; }
  void SetTimerType(TZkSaveTimerType value);
  TDateTime Date() const { return date_; }
  void SetDate(TDateTime value);
  TDateTime Time() const { return time_; }
  void SetTime(TDateTime value);
  std::int32_t Interval() const { return interval_; }
  void SetInterval(std::int32_t value);
  TZkSaveMonths Months() const { return months_; }
  void SetMonths(TZkSaveMonths value);
  TZkSaveDows Dows() const { return dows_; }
  void SetDows(TZkSaveDows value);
  TZkSaveDayList Days() const { return days_; }
  void SetDays(TZkSaveDayList value);
  bool ExtendedSaving() const { return extendedSaving_; }
  void SetExtendedSaving(bool value) { extendedSaving_ = value; }
  bool UpdateSaving() const { return updateSaving_; }
  void SetUpdateSaving(bool value) { updateSaving_ = value; }
  // Stored and copied with the entry; nothing reads it.
  bool ExtendUpdateSaving() const { return extendUpdateSaving_; }
  void SetExtendUpdateSaving(bool value) { extendUpdateSaving_ = value; }
  TZkThreadDefineOutput& DefineOutput() { return defineOutput_; }
  const TZkThreadDefineOutput& DefineOutput() const { return defineOutput_; }
  void SetDefineOutput(const TZkThreadDefineOutput& value) { defineOutput_.Assign(value); }

  // The latest moment at or before `now` that the entry's rule names;
  // nothing when there is none (a one-off entry still to come, a rule that
  // names no day). An entry every N minutes names `now` less N minutes.
  std::optional<TDateTime> LastDueMoment(TDateTime now) const;
  // Makes the entry due at once for a moment it missed (no engine ran
  // then); the run it fires is a catch-up. RecalcTimer ends both.
  void CatchUpMoment(TDateTime missed);
  bool CatchingUp() const { return catchingUp_.load(); }

  // Recomputes Timer from the clock of the job that holds the entry (the
  // machine's for an entry in no job).
  void RecalcTimer();
  void RecalcTimer(const platform::TZkClock& clock);
  const platform::TZkClock& Clock() const;

  std::string DisplayName() const override;
  // From another entry: every published property, then Timer as it is.
  void Assign(const TZkPersistent& source) override;
  const TPropList& Properties() const override { return ClassProperties(); }
  static const TPropList& ClassProperties();

private:
  template <class V>
  void Change(V& field, V value);

  std::atomic<TDateTime> timer_{0};
  std::atomic<bool> catchingUp_{false};
  std::string name_;
  TZkSaveTimerType timerType_ = TZkSaveTimerType::ttDay;
  TDateTime date_ = 0;
  TDateTime time_ = 0;
  std::int32_t interval_ = 180;
  TZkSaveMonths months_;
  TZkSaveDows dows_;
  TZkSaveDayList days_;
  bool extendedSaving_ = false;
  bool updateSaving_ = false;
  bool extendUpdateSaving_ = false;
  TZkThreadDefineOutput defineOutput_;
};

using TZkThreadSaveTimerings = TZkOwnedCollection<TZkThreadSaveTimering>;

}  // namespace zk
