// status: how every job stands, so that a schedule gone silent is seen.

#include <cstdio>
#include <string>

#include "CliCommands.h"
#include "engine/ZkJobHealth.h"
#include "engine/ZkRunRecords.h"
#include "platform/ZkClock.h"
#include "util/ZkUtil.h"

namespace zk::cli {
namespace {

std::string StatusLine(const TZkThreadSaveTask& job, const TZkJobHealth& health, TDateTime now) {
  std::string line = job.Name + ": utolsó futás: ";
  line += health.LastRun ? health.LastRun->Status + " " + health.LastRun->Date + " " + health.LastRun->Time : "nincs";
  line += "; utolsó jó mentés: " + (health.LastGood ? AgeText(now - *health.LastGood) : std::string("nincs"));
  line += "; következő: " +
          (health.NextDue ? FormatDateMask("yyyy.mm.dd hh:pp", *health.NextDue, NeutralFormatSettings())
                          : std::string("nincs ütemezve"));
  if (health.Overdue) line += "; elmaradt";
  return line;
}

}  // namespace

int StatusCommand(const TZkProgramFiles& files) {
  TZkThreadSaveTasks jobs;
  if (!LoadJobList(files.JobFile, jobs)) return kExitUsage;
  const TDateTime now = platform::SystemClock().Now();
  bool attention = false;
  for (int i = 0; i < jobs.Count(); ++i) {
    const TZkThreadSaveTask& job = jobs.Items(i);
    const TZkJobHealth health = JobHealth(job, TZkRunRecords::ReadJobHistory(files.IniFile, job.Name), now);
    attention = attention || health.Overdue || (health.LastRun && !health.LastRun->Ok());
    std::printf("%s\n", StatusLine(job, health, now).c_str());
  }
  return attention ? kExitAttention : kExitOk;
}

}  // namespace zk::cli
