#pragma once
// The local clock and the waits of the engine, injectable so that schedules
// and throttling are tested on a fixed clock without sleeping.

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "base/ZkDateTime.h"

namespace zk::platform {

// The local date and time of a moment given in seconds since 1970-01-01 UTC
// and the milliseconds after them; 0 when it falls outside years 1 to 9999.
TDateTime LocalDateTime(std::int64_t seconds, int millisecond);

class TZkClock {
public:
  virtual ~TZkClock() = default;
  // The local date and time, with milliseconds.
  virtual TDateTime Now() const = 0;
};

// Lets another thread end a wait early: once notified, the current wait and
// every later one return at once until the signal is reset.
class TZkWakeSignal {
public:
  void Notify();
  void Reset();
  bool Notified() const;
  // Blocks for the given time or until notified.
  void WaitFor(int milliseconds);

private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool notified_ = false;
};

class TZkSleeper {
public:
  virtual ~TZkSleeper() = default;
  // Blocks the calling thread for the given time; 0 or less returns at once.
  virtual void Sleep(int milliseconds) = 0;
  // The same wait, ended early when `wake` is notified. A sleeper that does
  // not really wait (a test's) only sees the request, unless it came after
  // the notification.
  virtual void SleepUnlessWoken(int milliseconds, TZkWakeSignal& wake) {
    if (!wake.Notified()) Sleep(milliseconds);
  }
};

// The machine's local clock and real waits; shared, stateless instances.
TZkClock& SystemClock();
TZkSleeper& SystemSleeper();

}  // namespace zk::platform
