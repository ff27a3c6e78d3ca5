#include "CliEngine.h"

#include "platform/ZkClock.h"
#include "platform/ZkPrograms.h"
#include "platform/ZkSystemPlatform.h"

namespace zk::cli {

// The service and session backends connect to the system bus only when an
// action calls them, so they are made at once; without a bus such an action
// fails with its own error and the rest of the job runs. The sleep lock is
// asked for at each run's start.
TCliEngine::TCliEngine(const TZkProgramFiles& files, bool throttle, TCliDisplay& display)
    : display_(display),
      services_(platform::SystemServiceControl()),
      session_(platform::SystemSessionEnder()),
      sleepInhibitor_(platform::SystemSleepInhibitor()),
      actions_{platform::SystemSleeper(), *services_, *session_, platform::DesktopPrograms(), sleepInhibitor_.get()} {
  engine_.LogFilename = files.LogFile;
  engine_.ErrorFilename = files.ErrorFile;
  engine_.HistoryFilename = files.IniFile;
  engine_.Throttle = throttle;
  engine_.SetActionPlatform(actions_);
  display_.Attach(engine_);
  engine_.OnErrorEvent = [this](TZkThreadSave&, const std::string& text) {
    ++errors_;
    ++runErrors_;
    display_.ErrorLine(text);
  };
  engine_.OnAfterBackup = [this](TZkThreadSave& engine, TZkThreadActiveTask& task) {
    display_.JobEnded();
    if (OnJobEnded) OnJobEnded(engine, task);
    runErrors_ = 0;
  };
}

}  // namespace zk::cli
