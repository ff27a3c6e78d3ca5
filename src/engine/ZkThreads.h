#pragma once
// TZkCustomThread: a component that owns a worker thread and runs one
// virtual operation, Execute, on it. The backup engine puts its polling loop
// there.

#include <atomic>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "store/Published.h"

namespace zk {

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
  // Asks Execute to end; it sees the flag at its next check.
  void Terminate() { terminated_.store(true); }
  bool Terminated() const { return terminated_.load(); }
  // What ended Execute by escaping it, if anything did.
  std::exception_ptr FatalException() const;

  // Raised once, after Execute has returned.
  TNotifyEvent OnTerminate;

protected:
  // Runs on the worker thread; does nothing here.
  virtual void Execute() {}
  virtual void DoTerminate();
  // Terminate, then let a thread that never ran make its pass, and wait for
  // it to end.
  void Shutdown();

private:
  void Run();

  TDeliver deliver_;
  std::atomic<bool> terminated_{false};
  mutable std::mutex mutex_;
  bool started_ = false;
  std::thread thread_;
  std::exception_ptr fatal_;
};

}  // namespace zk
