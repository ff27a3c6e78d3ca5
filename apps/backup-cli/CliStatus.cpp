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

// "távoli másolat: 2024.01.05 09:07 (nas:mentes/Docs.Zip)", or "nincs".
std::string LastUploadText(const TZkProgramFiles& files, const std::string& jobName) {
  const std::string upload = TZkRunRecords::ReadLastUpload(files.IniFile, jobName);
  if (upload.empty()) return "távoli másolat: nincs";
  const std::size_t path = upload.find(';', upload.find(';') + 1);
  return "távoli másolat: " + FieldOf(upload, ";", 1) + " " + FieldOf(upload, ";", 2) + " (" +
         (path == std::string::npos ? std::string() : upload.substr(path + 1)) + ")";
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
    std::string line = StatusLine(job, health, now);
    if (!job.DefineOutput().RemoteTarget.empty()) line += "; " + LastUploadText(files, job.Name);
    std::printf("%s\n", line.c_str());
  }
  return attention ? kExitAttention : kExitOk;
}

}  // namespace zk::cli
