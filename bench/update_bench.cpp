// An update run into the same archive name, with one file changed, against
// the full run that wrote that archive: the engine on its worker thread,
// without its waits, on a fixed clock that makes the schedule entry due.
// Usage: update_bench CORPUS_FOLDER WORK_FOLDER CHANGED_FILE
// Prints "full S", "update S" and their ratio; the archive stays in
// WORK_FOLDER/out for the peers of bench/update_run.sh.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>

#include "engine/ZkThreadSave.h"
#include "support/ZkFakeClock.h"

namespace {

using zk::test::TFixedClock;
namespace fs = std::filesystem;

// Runs the job once on a fresh engine; the seconds it took.
double RunOnce(zk::TZkThreadSaveTasks& jobs, TFixedClock& clock, int day, const std::string& work, int& errors) {
  clock.Set(2024, 1, day, 9, 0, 0);
  jobs.RecalcAllTimers();
  clock.Set(2024, 1, day, 10, 1, 0);
  zk::TZkThreadSave engine(clock);
  engine.Throttle = false;
  engine.HistoryFilename = work + "/Backup.Ini";
  engine.OnErrorEvent = [&errors](zk::TZkThreadSave&, const std::string& line) {
    ++errors;
    std::fprintf(stderr, "error: %s\n", line.c_str());
  };
  std::promise<void> ended;
  engine.OnAfterBackup = [&ended](zk::TZkThreadSave& sender, zk::TZkThreadActiveTask&) {
    sender.Stop();
    sender.Terminate();
    ended.set_value();
  };
  engine.SetSaving(jobs);
  const auto start = std::chrono::steady_clock::now();
  engine.Start();
  ended.get_future().wait();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: update_bench CORPUS_FOLDER WORK_FOLDER CHANGED_FILE\n");
    return 2;
  }
  const std::string corpus = argv[1], work = argv[2], changed = argv[3];
  fs::remove_all(work + "/out");
  fs::remove(work + "/Backup.Ini");
  TFixedClock clock;
  zk::TZkThreadSaveTasks jobs(nullptr, &clock);
  zk::TZkThreadSaveTask& job = jobs.Add();
  job.Name = "Bench";
  job.DefineOutput().OutputFolder = work + "/out";
  job.DefineOutput().FileName = "Bench";
  job.AddFiles().Add().Name = corpus + "/";
  zk::TZkThreadSaveTimering& entry = job.TimerList().Add();
  entry.SetName("Napi");
  entry.SetTime(zk::EncodeTime(10, 0, 0, 0));
  entry.SetUpdateSaving(true);

  int errors = 0;
  const double full = RunOnce(jobs, clock, 5, work, errors);
  {
    std::ofstream(changed, std::ios::app) << "one more line\n";
  }
  fs::last_write_time(changed, fs::last_write_time(changed) + std::chrono::hours(1));
  const double update = RunOnce(jobs, clock, 6, work, errors);
  std::printf("full %.3f\nupdate %.3f\nratio update/full %.4f\n", full, update, update / full);
  return errors == 0 ? 0 : 1;
}
