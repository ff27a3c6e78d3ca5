#include "engine/ZkRunHistory.h"

#include <cstdlib>

#include "base/ZkText.h"
#include "engine/ZkRunRecords.h"
#include "util/ZkUtil.h"

namespace zk {

std::optional<TDateTime> RunMoment(const std::string& date, const std::string& time) {
  TDateTime day = 0;
  TDateTime hour = 0;
  if (date.size() != 10 || time.size() != 5 ||
      !TryEncodeDate(std::atoi(date.c_str()), std::atoi(date.c_str() + 5), std::atoi(date.c_str() + 8), day) ||
      !TryEncodeTime(std::atoi(time.c_str()), std::atoi(time.c_str() + 3), 0, 0, hour))
    return std::nullopt;
  return day + hour;
}

std::string RunKindText(TZkRunKind kind) {
  switch (kind) {
    case TZkRunKind::rkUpdate:
      return "frissített";
    case TZkRunKind::rkDifferential:
      return "különbségi";
    case TZkRunKind::rkFull:
      break;
  }
  return "teljes";
}

bool TZkRunRecord::Ok() const { return SameText(Status, "Ok"); }

std::vector<TZkRunRecord> RunsOfHistory(const std::vector<std::string>& history) {
  std::vector<TZkRunRecord> runs;
  for (std::size_t i = history.size(); i-- > 0;) {
    const std::string& entry = history[i];
    TZkRunRecord run;
    run.Status = FieldOf(entry, ";", 1);
    run.Date = FieldOf(entry, ";", 2);
    run.Time = FieldOf(entry, ";", 3);
    run.Path = FieldOf(entry, ";", 5);
    if (SameText(FieldOf(entry, ";", 4), "Update")) {
      // An update run took the newest complete full run before it as base,
      // as the engine finds it at the run's start.
      const std::vector<std::string> before(history.begin(), history.begin() + static_cast<std::ptrdiff_t>(i));
      const std::optional<std::string> base = TZkRunRecords::FindUpdateBase(before);
      if (base && *base != run.Path) {
        run.Kind = TZkRunKind::rkDifferential;
        run.BasePath = base;
      } else {
        run.Kind = TZkRunKind::rkUpdate;
      }
    }
    runs.push_back(std::move(run));
  }
  return runs;
}

std::optional<TZkRunRecord> ChooseRun(const std::vector<TZkRunRecord>& runs, std::optional<int> number) {
  if (number) {
    if (*number < 1 || static_cast<std::size_t>(*number) > runs.size()) return std::nullopt;
    return runs[static_cast<std::size_t>(*number - 1)];
  }
  for (const TZkRunRecord& run : runs)
    if (run.Ok()) return run;
  return std::nullopt;
}

std::vector<std::string> ArchivesOfRun(const TZkRunRecord& run) {
  std::vector<std::string> archives;
  if (run.BasePath) archives.push_back(*run.BasePath);
  archives.push_back(run.Path);
  return archives;
}

}  // namespace zk
