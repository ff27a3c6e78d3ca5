// history, verify and restore: a job's runs as its history records them,
// and reading back the archive of one of them.

#include <cstdio>
#include <exception>
#include <filesystem>
#include <thread>
#include <optional>
#include <string>
#include <vector>

#include "CliCommands.h"
#include "CliDisplay.h"
#include "CliStopSignals.h"
#include "engine/ZkRemote.h"
#include "engine/ZkRestore.h"
#include "engine/ZkRunHistory.h"
#include "engine/ZkRunRecords.h"
#include "platform/ZkFileSystem.h"
#include "zip/ZkZipRead.h"

namespace zk::cli {
namespace {

// The runs of the named job, newest first; none when the job file cannot be
// read or names no such job (said on the standard error).
std::optional<std::vector<TZkRunRecord>> JobRuns(const TZkProgramFiles& files, const std::string& name) {
  TZkThreadSaveTasks jobs;
  if (!LoadJobList(files.JobFile, jobs)) return std::nullopt;
  const int index = jobs.IndexOfName(name);
  if (index < 0) {
    std::fprintf(stderr, "Nincs %s nevű mentés\n", name.c_str());
    return std::nullopt;
  }
  return RunsOfHistory(TZkRunRecords::ReadJobHistory(files.IniFile, jobs.Items(index).Name));
}

std::string Missing(const std::string& path) { return platform::PathExists(path) ? "" : " (hiányzik)"; }

// The run the options name; none (said on the standard error) when the job
// or the run is unknown.
std::optional<TZkRunRecord> ChosenRun(const TZkProgramFiles& files, const TCliOptions& options) {
  const auto runs = JobRuns(files, options.JobNames.front());
  if (!runs) return std::nullopt;
  const std::optional<TZkRunRecord> run = ChooseRun(*runs, options.RunNumber);
  if (!run) {
    if (options.RunNumber)
      std::fprintf(stderr, "Nincs %d. futása a(z) %s mentésnek\n", *options.RunNumber, options.JobNames.front().c_str());
    else
      std::fprintf(stderr, "A(z) %s mentésnek nincs \"Ok\" futása\n", options.JobNames.front().c_str());
  }
  return run;
}

// The archives a restore of the run reads, the base first, each fetched from
// the job's remote target when it is gone here.
std::vector<std::string> RunArchives(const TZkProgramFiles& files, const std::string& jobName, const TZkRunRecord& run,
                                     TZkFetchedArchives& fetched) {
  TZkThreadSaveTasks jobs;
  const TZkThreadSaveTask* job = LoadJobList(files.JobFile, jobs) ? jobs.FindByName(jobName) : nullptr;
  if (job == nullptr) return ArchivesOfRun(run);
  const TZkThreadDefineOutput& output = job->DefineOutput();
  return fetched.ArchivesOf(run, output, platform::RcloneStore(), output.Temp,
                            [](const std::string& line) { std::printf("%s\n", line.c_str()); });
}

std::string Absolute(const std::string& path) {
  return std::filesystem::absolute(path).lexically_normal().string();
}

}  // namespace

int HistoryCommand(const TZkProgramFiles& files, const TCliOptions& options) {
  const auto runs = JobRuns(files, options.JobNames.front());
  if (!runs) return kExitUsage;
  if (runs->empty()) std::printf("A(z) %s mentésnek még nincs futása\n", options.JobNames.front().c_str());
  for (std::size_t i = 0; i < runs->size(); ++i) {
    const TZkRunRecord& run = (*runs)[i];
    std::string line = std::to_string(i + 1) + "  " + run.Status + "  " + run.Date + " " + run.Time + "  " +
                       RunKindText(run.Kind) + "  " + run.Path + Missing(run.Path);
    if (run.BasePath) line += "  alap: " + *run.BasePath + Missing(*run.BasePath);
    std::printf("%s\n", line.c_str());
  }
  return kExitOk;
}

int VerifyCommand(const TZkProgramFiles& files, const TCliOptions& options) {
  std::string path;
  std::optional<TZkRunRecord> chosen;
  if (options.Archive) {
    path = *options.Archive;
  } else {
    const std::optional<TZkRunRecord> run = ChosenRun(files, options);
    if (!run) return kExitUsage;
    chosen = *run;
    path = run->Path;
  }
  TCliProgress progress("Ellenőrzés");
  TZkFetchedArchives fetched;
  try {
    if (chosen) {
      TZkRunRecord alone = *chosen;
      alone.BasePath.reset();
      path = RunArchives(files, options.JobNames.front(), alone, fetched).back();
    }
    const TZkZipReader reader(path);
    const auto& entries = reader.Entries();
    std::int64_t total = 0;
    for (const TZkZipReadEntry& entry : entries) total += static_cast<std::int64_t>(entry.Central.UncompressedSize);
    std::int64_t done = 0;
    std::vector<std::string> bad;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      progress.Update(static_cast<std::int64_t>(i), static_cast<std::int64_t>(entries.size()), done, total,
                      entries[i].Name);
      const std::int64_t before = done;
      try {
        reader.Extract(i, [&](const char*, std::size_t size) {
          done += static_cast<std::int64_t>(size);
          progress.Update(static_cast<std::int64_t>(i), static_cast<std::int64_t>(entries.size()), done, total,
                          entries[i].Name);
        });
      } catch (const EZkZipEntryError& error) {
        bad.push_back("Hibás bejegyzés: " + entries[i].Name + " (" + error.what() + ")");
      }
      done = before + static_cast<std::int64_t>(entries[i].Central.UncompressedSize);
    }
    progress.Update(static_cast<std::int64_t>(entries.size()), static_cast<std::int64_t>(entries.size()), done, total,
                    {});
    progress.Finish();
    for (const std::string& line : bad) std::printf("%s\n", line.c_str());
    if (bad.empty())
      std::printf("Az archívum rendben: %zu bejegyzés (%s)\n", entries.size(), path.c_str());
    else
      std::printf("%zu hibás bejegyzés a(z) %zu közül (%s)\n", bad.size(), entries.size(), path.c_str());
    return bad.empty() ? kExitOk : kExitErrors;
  } catch (const EZkError& error) {
    progress.Finish();
    progress.ErrorLine(error.what());
    return kExitErrors;
  }
}

int RestoreCommand(const TZkProgramFiles& files, const TCliOptions& options) {
  std::vector<std::string> archives;
  std::optional<TZkRunRecord> run;
  if (options.Archive) {
    archives.push_back(*options.Archive);
  } else {
    run = ChosenRun(files, options);
    if (!run) return kExitUsage;
  }
  TCliProgress progress("Visszaállítás");
  TZkFetchedArchives fetched;
  try {
    if (run) archives = RunArchives(files, options.JobNames.front(), *run, fetched);
    TZkRestore restore(archives);
    if (options.Target) restore.TargetFolder = Absolute(*options.Target);
    restore.Overwrite = options.Overwrite == "always"  ? TZkOverwrite::owAlways
                        : options.Overwrite == "newer" ? TZkOverwrite::owNewer
                                                       : TZkOverwrite::owNever;
    std::vector<std::string> paths;
    for (const std::string& path : options.Paths) paths.push_back(Absolute(path));
    std::vector<std::size_t> chosen;
    for (std::size_t i = 0; i < restore.Items().size(); ++i)
      if (TZkRestore::IsSelected(restore.Items()[i], paths)) chosen.push_back(i);
    if (chosen.empty() && !paths.empty()) {
      progress.ErrorLine("Az archívumban nincs ilyen útvonal");
      return kExitErrors;
    }
    std::int64_t filesDone = 0;
    const TZkRestoreItem* current = nullptr;
    restore.OnProgress = [&](std::uint64_t done, std::uint64_t total, const TZkRestoreItem& item) {
      if (&item != current) {
        if (current != nullptr) ++filesDone;
        current = &item;
      }
      progress.Update(filesDone, static_cast<std::int64_t>(chosen.size()), static_cast<std::int64_t>(done),
                      static_cast<std::int64_t>(total), restore.DestinationOf(item));
    };
    restore.OnError = [&](const std::string& text) { progress.ErrorLine("Nem állítható vissza: " + text); };
    // The restore runs on a thread of its own, so that SIGINT or SIGTERM
    // stops it in order: the file being written is dropped, the rest stays.
    TCliStopSignals signals;
    TZkRestoreCounts counts;
    std::exception_ptr failure;
    std::thread worker([&] {
      try {
        counts = restore.Run(chosen);
      } catch (...) {
        failure = std::current_exception();
      }
      signals.NotifyDone();
    });
    bool stopped = false;
    if (signals.Wait() == TCliStopSignals::TWake::wkSignal) {
      stopped = true;
      restore.StopRequested = true;
      while (signals.Wait() != TCliStopSignals::TWake::wkDone) {
      }
    }
    worker.join();
    if (failure) std::rethrow_exception(failure);
    progress.Finish();
    if (stopped) progress.ErrorLine("A visszaállítás megszakadt");
    std::printf("Visszaállítva: %d, kihagyva: %d, sikertelen: %d\n", counts.Restored, counts.Skipped, counts.Failed);
    return counts.Failed > 0 || stopped ? kExitErrors : kExitOk;
  } catch (const EZkError& error) {
    progress.Finish();
    progress.ErrorLine(error.what());
    return kExitErrors;
  }
}

}  // namespace zk::cli
