#pragma once
// The backup engine as the console program runs it: the shared log and
// error files, the history in the INI file, the machine's backends for the
// jobs' actions, and every error line counted and shown.

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "CliDisplay.h"
#include "CliFiles.h"
#include "engine/ZkThreadSave.h"
#include "platform/ZkDesktopBus.h"
#include "platform/ZkServiceControl.h"
#include "platform/ZkSessionEnd.h"

namespace zk::cli {

class TCliEngine {
public:
  TCliEngine(const TZkProgramFiles& files, bool throttle, TCliDisplay& display);

  TZkThreadSave& Engine() { return engine_; }
  // Error lines written so far; read from any thread.
  int ErrorCount() const { return errors_.load(); }
  // Error lines of the run now ending, for OnJobEnded.
  int RunErrorCount() const { return runErrors_.load(); }
  // Called on the worker thread at the end of every run, after the display
  // has finished the job's line. Set before the engine starts.
  std::function<void(TZkThreadSave& engine, const TZkThreadActiveTask& task)> OnJobEnded;

private:
  TCliDisplay& display_;
  std::atomic<int> errors_{0};
  std::atomic<int> runErrors_{0};
  std::unique_ptr<platform::TZkServiceControl> services_;
  std::unique_ptr<platform::TZkSessionEnder> session_;
  std::unique_ptr<platform::TZkSleepInhibitor> sleepInhibitor_;
  TZkActionPlatform actions_;
  // Last, so that it is destroyed, and its thread joined, before anything
  // its handlers reach.
  TZkThreadSave engine_;
};

}  // namespace zk::cli
