#include "platform/ZkClock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace zk::platform {
namespace {

class TSystemClock final : public TZkClock {
public:
  TDateTime Now() const override {
    const auto now = std::chrono::system_clock::now();
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    return LocalDateTime(std::chrono::system_clock::to_time_t(now), static_cast<int>(millis % 1000));
  }
};

class TSystemSleeper final : public TZkSleeper {
public:
  void Sleep(int milliseconds) override {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
  void SleepUnlessWoken(int milliseconds, TZkWakeSignal& wake) override { wake.WaitFor(milliseconds); }
};

}  // namespace

TDateTime LocalDateTime(std::int64_t seconds, int millisecond) {
  const auto moment = static_cast<std::time_t>(seconds);
  std::tm local{};
  TDateTime date = 0;
  if (localtime_r(&moment, &local) == nullptr ||
      !TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, date))
    return 0;
  // A leap second (tm_sec 60) counts as the last second of its minute.
  return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                        local.tm_sec > 59 ? 59 : local.tm_sec, millisecond);
}

void TZkWakeSignal::Notify() {
  {
    const std::lock_guard lock(mutex_);
    notified_ = true;
  }
  changed_.notify_all();
}

void TZkWakeSignal::Reset() {
  const std::lock_guard lock(mutex_);
  notified_ = false;
}

bool TZkWakeSignal::Notified() const {
  const std::lock_guard lock(mutex_);
  return notified_;
}

void TZkWakeSignal::WaitFor(int milliseconds) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return notified_; });
}

TZkClock& SystemClock() {
  static TSystemClock clock;
  return clock;
}

TZkSleeper& SystemSleeper() {
  static TSystemSleeper sleeper;
  return sleeper;
}

}  // namespace zk::platform
