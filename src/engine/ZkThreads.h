#pragma once
// TZkCustomThread: a component that owns a worker thread and runs one
// virtual operation, Execute, on it. The backup engine puts its polling loop
// there.

#include <atomic>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/ZkClock.h"
#include "store/Published.h"
#include "util/ZkUtilFile.h"

namespace zk {

class TZkThreadSave;

class TZkCustomThread : public TZkPersistent {
public:
  // Hands a notification to the thread the owner wants it on (the window
  // queues it to its own thread); without one it runs in place, on the
  // worker thread.
  using TDeliver = std::function<void(std::function<void()> notification)>;
  using TNotifyEvent = std::function<void(TZkCustomThread& sender)>;

  explicit TZkCustomThread(TDeliver deliver = {});
  // Classes that override Execute call Shutdown in their own destructor,
  // while the object Execute works on is still whole.
  ~TZkCustomThread() override;

  // The first call starts the thread; later calls do nothing (the thread
  // runs once in the component's life).
  void Start();
  // Asks Execute to end; it sees the flag at its next check, and a wait on
  // the wake signal ends at once.
  void Terminate() {
    terminated_.store(true);
    wake_.Notify();
  }
  bool Terminated() const { return terminated_.load(); }
  // What ended Execute by escaping it, if anything did.
  std::exception_ptr FatalException() const;

  // Raised once, after Execute has returned.
  TNotifyEvent OnTerminate;

protected:
  // Runs on the worker thread; does nothing here.
  virtual void Execute() {}
  virtual void DoTerminate();
  // Ends Execute's waits early: notified by Terminate.
  platform::TZkWakeSignal& WakeSignal() { return wake_; }
  // Terminate, then let a thread that never ran make its pass, and wait for
  // it to end.
  void Shutdown();

private:
  void Run();

  TDeliver deliver_;
  std::atomic<bool> terminated_{false};
  platform::TZkWakeSignal wake_;
  mutable std::mutex mutex_;
  bool started_ = false;
  std::thread thread_;
  std::exception_ptr fatal_;
};

// Relays of a file copy's progress into the engine's run copy: Max gives the
// item's size, every Position the bytes done, each followed by the engine's
// event, a 100 ms wait and a stop check ("Stopped In Copy"). TZkThreadProcess
// counts the run's progress from 0 (an archive copy, whose total is the
// archive), TZkThreadProcess2 from the item's base (a file of the run).
class TZkThreadProcess : public TZkProgressReceiver {
public:
  TZkThreadProcess(TZkThreadSave& engine, std::function<void()> onMax, std::function<void()> onPosition)
      : engine_(engine), onMax_(std::move(onMax)), onPosition_(std::move(onPosition)) {}
  void SetMax(std::int64_t value) override;
  void SetMin(std::int64_t) override {}
  void SetPosition(std::int64_t value) override;

protected:
  virtual std::int64_t TotalFor(std::int64_t position) const;
  TZkThreadSave& engine_;

private:
  std::function<void()> onMax_;
  std::function<void()> onPosition_;
};

class TZkThreadProcess2 : public TZkThreadProcess {
public:
  using TZkThreadProcess::TZkThreadProcess;

protected:
  std::int64_t TotalFor(std::int64_t position) const override;
};

}  // namespace zk
