#include "CliNotices.h"

#include <cmath>
#include <cstdio>
#include <exception>
#include <vector>

#include "CliCommands.h"
#include "engine/ZkJobHealth.h"
#include "engine/ZkRunHistory.h"
#include "engine/ZkRunRecords.h"
#include "engine/ZkThreadSave.h"
#include "platform/ZkSystemError.h"

namespace zk::cli {

void TCliNotices::RunEnded(const TZkProgramFiles& files, const std::string& job, int errorLines,
                           const std::string& uploadFailure) {
  std::vector<TZkRunRecord> runs;
  try {
    runs = RunsOfHistory(TZkRunRecords::ReadJobHistory(files.IniFile, job));
  } catch (const std::exception&) {
    // The run has reported that its history line could not be written.
  }
  const bool stopped = runs.empty() || runs.front().Status == "Stopped";
  const std::string lines = std::to_string(errorLines) + " hibasor, részletek: " + files.ErrorFile;
  if (stopped) {
    Send("A mentés leállt: " + job, errorLines > 0 ? lines : "Az előző mentés a helyén maradt.");
  } else if (!uploadFailure.empty()) {
    // The upload's line is one of the run's error lines; the others, if any,
    // are in the error file.
    Send("A távoli másolat elmaradt: " + job, errorLines > 1 ? uploadFailure + "\n" + lines : uploadFailure);
  } else if (errorLines > 0) {
    Send("A mentés hibákkal ért véget: " + job, lines);
  } else if (notifySuccess_) {
    Send("A mentés kész: " + job, runs.front().Path);
  }
}

void TCliNotices::CheckOverdue(const TZkProgramFiles& files, TDateTime now) {
  TZkThreadSaveTasks jobs;
  TZkRunRecords::THistories histories;
  try {
    ReadJobFile(files.JobFile, jobs);
    histories = TZkRunRecords::ReadAllHistories(files.IniFile);
  } catch (const std::exception&) {
    // serve says so when it reads the job file; the runs, when the history fails.
    return;
  }
  const int today = static_cast<int>(std::floor(now));
  const std::vector<std::string> none;
  for (int i = 0; i < jobs.Count(); ++i) {
    const TZkThreadSaveTask& job = jobs.Items(i);
    const auto found = histories.find(TZkRunRecords::HistoryKey(job.Name));
    const TZkJobHealth health = JobHealth(job, found == histories.end() ? none : found->second, now);
    if (!health.Overdue) continue;
    {
      const std::lock_guard lock(mutex_);
      const auto day = overdueDay_.find(job.Name);
      if (day != overdueDay_.end() && day->second == today) continue;
      overdueDay_[job.Name] = today;
    }
    Send("Elmaradt mentés: " + job.Name,
         health.LastGood ? "Az utolsó jó mentés " + AgeText(now - *health.LastGood) + " készült."
                         : "Még nincs jó mentése.");
  }
}

void TCliNotices::Send(const std::string& summary, const std::string& body) {
  if (notifier_.Notify(summary, body)) return;
  const std::lock_guard lock(mutex_);
  if (unsentSaid_) return;
  unsentSaid_ = true;
  std::printf("Értesítés nem küldhető: %s\n", platform::LastSystemErrorText().c_str());
  std::fflush(stdout);
}

}  // namespace zk::cli
