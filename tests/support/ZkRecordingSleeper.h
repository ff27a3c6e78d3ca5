#pragma once
// A sleeper that records the waits asked for instead of sleeping.

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/ZkClock.h"

namespace zk::test {

class TRecordingSleeper : public platform::TZkSleeper {
public:
  void Sleep(int milliseconds) override {
    Waits.push_back(milliseconds);
    Total += milliseconds;
    if (OnSleep) OnSleep(milliseconds);
  }
  std::vector<int> Waits;
  // Called with each wait, on the thread that waits.
  std::function<void(int milliseconds)> OnSleep;
  std::int64_t Total = 0;
};

}  // namespace zk::test
