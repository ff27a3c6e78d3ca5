// run and serve: the engine with every job of the job file on its worker
// thread, until the named jobs have run one after the other (run) or a stop
// signal comes (serve).

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "CliCommands.h"
#include "CliEngine.h"
#include "CliNotices.h"
#include "CliStopSignals.h"
#include "engine/ZkRunSequence.h"
#include "platform/ZkClock.h"
#include "platform/ZkFileSystem.h"
#include "platform/ZkSystemPlatform.h"

namespace zk::cli {
namespace {

// The indexes of the named jobs in the list, in the order named; none when
// a name is unknown or its job disabled (a disabled job never comes due, so
// its run would never end). Every such name is reported.
std::optional<std::vector<int>> SelectJobs(const TZkThreadSaveTasks& jobs, const std::vector<std::string>& names) {
  std::vector<int> selected;
  bool valid = true;
  for (const std::string& name : names) {
    const int index = jobs.IndexOfName(name);
    if (index < 0) {
      std::fprintf(stderr, "Nincs %s nevű mentés\n", name.c_str());
      valid = false;
    } else if (jobs.Items(index).Disable) {
      std::fprintf(stderr, "A(z) %s mentés le van tiltva\n", jobs.Items(index).Name.c_str());
      valid = false;
    }
    selected.push_back(index);
  }
  if (!valid) return std::nullopt;
  return selected;
}

// How often serve looks whether the job file changed.
constexpr std::chrono::milliseconds kJobFilePoll{2000};
// How often serve looks for overdue jobs: a notice a day each is enough.
constexpr std::chrono::minutes kOverdueCheck{10};

// Waits until the engine's loop has ended; a stop signal first stops the
// run in order and ends the loop. With `poll`, it is called every
// kJobFilePoll meanwhile. Returns whether a signal came.
bool WaitForEngine(TCliStopSignals& signals, TZkThreadSave& engine, const std::function<void()>& poll = {}) {
  for (;;) {
    const auto wake = signals.Wait(poll ? std::optional(kJobFilePoll) : std::nullopt);
    if (wake == TCliStopSignals::TWake::wkDone) return false;
    if (wake == TCliStopSignals::TWake::wkSignal) break;
    poll();
  }
  engine.Stop();
  engine.Terminate();
  // Further signals change nothing: the run is already ending.
  while (signals.Wait() != TCliStopSignals::TWake::wkDone) {
  }
  return true;
}

// When the loop ended without being asked to, says why.
void ReportUnexpectedEnd(const TZkThreadSave& engine) {
  std::string reason = "ismeretlen ok";
  if (const std::exception_ptr fatal = engine.FatalException()) {
    try {
      std::rethrow_exception(fatal);
    } catch (const std::exception& error) {
      reason = error.what();
    } catch (...) {
      reason = "ismeretlen kivétel";
    }
  }
  std::fprintf(stderr, "A mentés motorja idő előtt leállt: %s\n", reason.c_str());
}

// The job file's size and time, to see that it changed.
std::optional<std::pair<std::int64_t, platform::FileTime>> JobFileStamp(const std::string& path) {
  const auto info = platform::ReadFileInfo(path);
  if (!info) return std::nullopt;
  return std::pair(info->Size, info->Modified);
}

// A settings change in the window takes effect without a restart: the
// changed job file's jobs replace the engine's. A file that cannot be read
// leaves the jobs as they are.
void ReloadJobs(TZkThreadSave& engine, const std::string& path) {
  TZkThreadSaveTasks jobs;
  try {
    ReadJobFile(path, jobs);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "A mentésfájl nem olvasható, a mentések változatlanok: %s\n", error.what());
    return;
  }
  engine.SetSaving(jobs);
  std::printf("A mentésfájl megváltozott, újra betöltve: %d mentés\n", jobs.Count());
  std::fflush(stdout);
}

}  // namespace

int RunCommand(const TZkProgramFiles& files, const TCliOptions& options) {
  TZkThreadSaveTasks jobs;
  if (!PrepareFirstJobFile(files)) return kExitErrors;
  if (!LoadJobList(files.JobFile, jobs)) return kExitUsage;
  const std::optional<std::vector<int>> selected = SelectJobs(jobs, options.JobNames);
  if (!selected) return kExitUsage;

  // Declared before the engine, which joins its thread when destroyed.
  TZkRunSequence sequence(*selected);
  TCliStopSignals signals;
  const auto display = MakeDisplay();
  TCliEngine cli(files, options.Throttle, *display);
  TZkThreadSave& engine = cli.Engine();
  engine.SetSaving(jobs);
  if (options.Threads) engine.Threads = *options.Threads;
  cli.OnJobEnded = [&sequence](TZkThreadSave& sender, const TZkThreadActiveTask& task) {
    sequence.RunEnded(sender, task.Name);
  };
  engine.OnTerminate = [&signals](TZkCustomThread&) { signals.NotifyDone(); };
  sequence.Begin(engine);
  engine.Start();

  const bool interrupted = WaitForEngine(signals, engine);
  bool completed = sequence.Completed();
  if (!interrupted && !completed) ReportUnexpectedEnd(engine);
  // A named job may not have run: a signal came first, or a job whose
  // schedule came due meanwhile took its turn, as it does in the window.
  for (const std::string& name : options.JobNames) {
    if (sequence.HasEnded(name)) continue;
    std::fprintf(stderr, "A(z) %s mentés nem futott le\n", name.c_str());
    completed = false;
  }
  return cli.ErrorCount() > 0 || interrupted || !completed ? kExitErrors : kExitOk;
}

int ServeCommand(const TZkProgramFiles& files, const TCliOptions& options) {
  TZkThreadSaveTasks jobs;
  if (!PrepareFirstJobFile(files)) return kExitErrors;
  if (!LoadJobList(files.JobFile, jobs)) return kExitUsage;

  TCliStopSignals signals;
  const auto display = MakeDisplay();
  const std::unique_ptr<platform::TZkNotifier> notifier = platform::SystemNotifier();
  TCliNotices notices(*notifier, options.NotifySuccess);
  TCliEngine cli(files, options.Throttle, *display);
  TZkThreadSave& engine = cli.Engine();
  engine.SetSaving(jobs);
  if (options.Threads) engine.Threads = *options.Threads;
  engine.CatchUp = options.CatchUp;
  cli.OnJobEnded = [&files, &notices, &cli](TZkThreadSave&, const TZkThreadActiveTask& task) {
    notices.RunEnded(files, task.Name, cli.RunErrorCount(), task.UploadFailure);
  };
  engine.OnTerminate = [&signals](TZkCustomThread&) { signals.NotifyDone(); };
  // Said once the signals are in hand, so that whoever waits for this line
  // may stop the program with them.
  std::printf("Ütemezett futás: %d mentés; leállítás: SIGINT vagy SIGTERM (Ctrl+C)\n", engine.Saving().Count());
  std::fflush(stdout);
  engine.Start();

  auto stamp = JobFileStamp(files.JobFile);
  auto overdueChecked = std::chrono::steady_clock::now();
  notices.CheckOverdue(files, platform::SystemClock().Now());
  const auto poll = [&] {
    if (std::chrono::steady_clock::now() - overdueChecked >= kOverdueCheck) {
      overdueChecked = std::chrono::steady_clock::now();
      notices.CheckOverdue(files, platform::SystemClock().Now());
    }
    const auto now = JobFileStamp(files.JobFile);
    if (now == stamp) return;
    stamp = now;
    if (now) ReloadJobs(engine, files.JobFile);
  };
  if (!WaitForEngine(signals, engine, poll)) {
    ReportUnexpectedEnd(engine);
    return kExitErrors;
  }
  // A stop is how serve ends; each run's error lines were its own report.
  return kExitOk;
}

}  // namespace zk::cli
