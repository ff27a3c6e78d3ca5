#include "engine/ZkThreads.h"

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

}  // namespace zk
