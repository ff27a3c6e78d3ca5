#pragma once
// A clock that shows whatever moment the test sets.

#include "base/ZkDateTime.h"
#include "platform/ZkClock.h"

namespace zk::test {

class TFixedClock : public platform::TZkClock {
public:
  explicit TFixedClock(TDateTime now = 0) : now_(now) {}
  TDateTime Now() const override { return now_; }
  void Set(TDateTime now) { now_ = now; }
  void Set(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int millisecond = 0) {
    now_ = EncodeDateTime(year, month, day, hour, minute, second, millisecond);
  }

private:
  TDateTime now_;
};

}  // namespace zk::test
