#pragma once
// The local clock and the waits of the engine, injectable so that schedules
// and throttling are tested on a fixed clock without sleeping.

#include "util/ZkDateTime.h"

namespace zk::platform {

class TZkClock {
public:
  virtual ~TZkClock() = default;
  // The local date and time, with milliseconds.
  virtual TDateTime Now() const = 0;
};

class TZkSleeper {
public:
  virtual ~TZkSleeper() = default;
  // Blocks the calling thread for the given time; 0 or less returns at once.
  virtual void Sleep(int milliseconds) = 0;
};

// The machine's local clock and real waits; shared, stateless instances.
TZkClock& SystemClock();
TZkSleeper& SystemSleeper();

}  // namespace zk::platform
