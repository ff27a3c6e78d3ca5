// list: every job in list order with where it writes and when it next runs.

#include <cstdio>
#include <string>

#include "CliCommands.h"
#include "engine/ZkActiveTask.h"
#include "platform/ZkClock.h"
#include "util/ZkUtil.h"

namespace zk::cli {
namespace {

// Further ahead than any real schedule: the entry's "never" moment.
constexpr double kNeverAfterDays = 100 * 365.0;

std::string KindText(const TZkThreadSaveTimering& entry) {
  switch (entry.TimerType()) {
    case TZkSaveTimerType::ttDay:
      return "naponta";
    case TZkSaveTimerType::ttWeek:
      return "hetente";
    case TZkSaveTimerType::ttMonth:
      return "havonta";
    case TZkSaveTimerType::ttYear:
      return "évente";
    case TZkSaveTimerType::ttTime:
      return std::to_string(entry.Interval()) + " percenként";
    case TZkSaveTimerType::ttOne:
      break;
  }
  return "egyszer";
}

std::string MomentText(TDateTime moment, TDateTime now) {
  if (moment - now > kNeverAfterDays) return "soha";
  return FormatDateMask("yyyy.mm.dd hh:pp:ss", moment, NeutralFormatSettings());
}

// The path a run started now by hand would write: the archive, or in copy
// mode the folder the tree goes under.
std::string TargetText(const TZkThreadSaveTask& job, TDateTime now) {
  TZkThreadActiveTask run;
  run.Assign(job);
  run.StartDate = DateOf(now);
  run.StartTime = TimeOf(now);
  if (run.ActiveOutput().PackMode == TZkSaveMode::tmCopy) return FolderPart(run.GetOutputPath()) + " (másolás)";
  return run.GetOutputPath() + " (zip)";
}

std::string DescribeJob(const TZkThreadSaveTask& job, TDateTime now) {
  std::string text = job.Name + (job.Disable ? " (tiltva)" : "") + "\n";
  text += "  cél: " + TargetText(job, now) + "\n";
  const TZkThreadSaveTimerings& entries = job.TimerList();
  if (entries.Count() == 0) text += "  ütemezés: nincs\n";
  for (int i = 0; i < entries.Count(); ++i) {
    const TZkThreadSaveTimering& entry = entries.Items(i);
    text += "  ütemezés: " + entry.DisplayName() + ", " + KindText(entry) +
            ", következő: " + MomentText(entry.Timer(), now) + "\n";
  }
  return text;
}

}  // namespace

int ListCommand(const TZkProgramFiles& files) {
  TZkThreadSaveTasks jobs;
  if (!LoadJobList(files.JobFile, jobs)) return kExitUsage;
  const TDateTime now = platform::SystemClock().Now();
  for (int i = 0; i < jobs.Count(); ++i) std::fputs(DescribeJob(jobs.Items(i), now).c_str(), stdout);
  return kExitOk;
}

}  // namespace zk::cli
