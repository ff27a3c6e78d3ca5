#include "engine/ZkThreads.h"

#include "base/ZkError.h"
#include "engine/ZkEngineWaits.h"
#include "engine/ZkThreadSave.h"

namespace zk {

TZkCustomThread::TZkCustomThread(TDeliver deliver) : deliver_(std::move(deliver)) {}

TZkCustomThread::~TZkCustomThread() {
  Shutdown();
}

void TZkCustomThread::Start() {
  const std::lock_guard lock(mutex_);
  if (started_) return;
  started_ = true;
  thread_ = std::thread([this] { Run(); });
}

void TZkCustomThread::Shutdown() {
  Terminate();
  Start();
  std::thread finished;
  {
    const std::lock_guard lock(mutex_);
    finished = std::move(thread_);
  }
  if (finished.joinable()) finished.join();
}

std::exception_ptr TZkCustomThread::FatalException() const {
  const std::lock_guard lock(mutex_);
  return fatal_;
}

void TZkCustomThread::Run() {
  try {
    Execute();
  } catch (...) {
    // The thread ends; the error is kept for whoever asks, as there is no
    // caller to raise it to.
    const std::lock_guard lock(mutex_);
    fatal_ = std::current_exception();
  }
  if (deliver_)
    deliver_([this] { DoTerminate(); });
  else
    DoTerminate();
}

void TZkCustomThread::DoTerminate() {
  if (OnTerminate) OnTerminate(*this);
}

void TZkThreadProcess::SetMax(std::int64_t value) {
  if (TZkThreadActiveTask* task = engine_.ActiveTask()) task->ItemSize = value;
  if (onMax_) onMax_();
}

void TZkThreadProcess::SetPosition(std::int64_t value) {
  if (TZkThreadActiveTask* task = engine_.ActiveTask()) {
    task->ItemPosition = value;
    task->TotalPosition = TotalFor(value);
  }
  if (onPosition_) onPosition_();
  engine_.Wait(kReportWaitMs);
  // Leaves the copy routine, which closes both files.
  if (engine_.StopRequested() || engine_.Terminated()) throw EZkError("Stopped In Copy");
}

std::int64_t TZkThreadProcess::TotalFor(std::int64_t position) const {
  return position;
}

std::int64_t TZkThreadProcess2::TotalFor(std::int64_t position) const {
  const TZkThreadActiveTask* task = engine_.ActiveTask();
  return (task != nullptr ? task->ItemBase : 0) + position;
}

}  // namespace zk
