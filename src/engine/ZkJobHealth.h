#pragma once
// How a job stands between its runs: its last run, its last good backup,
// when it next comes due, and whether its schedule has gone silent.

#include <optional>
#include <string>
#include <vector>

#include "base/ZkDateTime.h"
#include "engine/ZkJob.h"
#include "engine/ZkRunHistory.h"

namespace zk {

struct TZkJobHealth {
  std::optional<TZkRunRecord> LastRun;
  std::optional<TDateTime> LastGood;  // the moment of the newest "Ok" run
  std::optional<TDateTime> NextDue;   // the nearest moment of its entries
  // A scheduled job whose newest "Ok" run is older than the longest gap its
  // entries allow, plus a day; also one that has run, but never well.
  bool Overdue = false;
};

// The longest time, in days, that the job's entries allow between two runs:
// a day for a daily entry, a week, 31 days, a year, the interval; nothing
// for a job without recurring entries.
std::optional<double> LongestScheduleGap(const TZkThreadSaveTask& job);

// The job's standing at `now`, from its history (oldest first); the entries'
// due moments must be computed.
TZkJobHealth JobHealth(const TZkThreadSaveTask& job, const std::vector<std::string>& history, TDateTime now);

// An age in days as the programs say it: "3 napja", "5 órája", "12 perce".
std::string AgeText(double days);

}  // namespace zk
