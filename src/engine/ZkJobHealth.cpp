#include "engine/ZkJobHealth.h"

#include <algorithm>
#include <cmath>

#include "engine/ZkTimering.h"

namespace zk {
namespace {

constexpr double kMinutesPerDay = 1440.0;
// The slack beyond the longest gap before a job counts as overdue.
constexpr double kOverdueSlackDays = 1.0;
// Further ahead than any real schedule: an entry's "never" moment.
constexpr double kNeverAfterDays = 100 * 365.0;

std::optional<double> GapOf(const TZkThreadSaveTimering& entry) {
  switch (entry.TimerType()) {
    case TZkSaveTimerType::ttDay:
      return 1.0;
    case TZkSaveTimerType::ttWeek:
      return 7.0;
    case TZkSaveTimerType::ttMonth:
      return 31.0;
    case TZkSaveTimerType::ttYear:
      return 366.0;
    case TZkSaveTimerType::ttTime:
      if (entry.Interval() > 0) return entry.Interval() / kMinutesPerDay;
      return std::nullopt;
    case TZkSaveTimerType::ttOne:
      break;
  }
  return std::nullopt;
}

}  // namespace

std::optional<double> LongestScheduleGap(const TZkThreadSaveTask& job) {
  std::optional<double> longest;
  for (int i = 0; i < job.TimerList().Count(); ++i)
    if (const auto gap = GapOf(job.TimerList().Items(i)); gap && (!longest || *gap > *longest)) longest = gap;
  return longest;
}

TZkJobHealth JobHealth(const TZkThreadSaveTask& job, const std::vector<std::string>& history, TDateTime now) {
  TZkJobHealth health;
  const std::vector<TZkRunRecord> runs = RunsOfHistory(history);
  if (!runs.empty()) health.LastRun = runs.front();
  const auto good = std::find_if(runs.begin(), runs.end(), [](const TZkRunRecord& run) { return run.Ok(); });
  if (good != runs.end()) health.LastGood = RunMoment(good->Date, good->Time);
  for (int i = 0; i < job.TimerList().Count(); ++i) {
    const TDateTime due = job.TimerList().Items(i).Timer();
    if (due - now < kNeverAfterDays && (!health.NextDue || due < *health.NextDue)) health.NextDue = due;
  }
  if (const auto gap = LongestScheduleGap(job); gap && !job.Disable) {
    health.Overdue = health.LastGood ? now - *health.LastGood > *gap + kOverdueSlackDays : health.LastRun.has_value();
  }
  return health;
}

std::string AgeText(double days) {
  if (days >= 1) return std::to_string(static_cast<long>(std::floor(days))) + " napja";
  if (days * 24 >= 1) return std::to_string(static_cast<long>(std::floor(days * 24))) + " órája";
  return std::to_string(static_cast<long>(std::floor(std::max(0.0, days) * 1440))) + " perce";
}

}  // namespace zk
