#include "platform/ZkFakeDesktopBus.h"

#include "platform/ZkSystemError.h"

namespace zk::platform {

bool TZkFakeUserScheduler::EnableAndStart() {
  ++StartCalls;
  if (!StartSucceeds) {
    SetLastSystemError(FailureText);
    return false;
  }
  IsRunning = true;
  return true;
}

class TZkFakeSleepInhibitor::TLock final : public TZkSleepLock {
public:
  explicit TLock(TZkFakeSleepInhibitor& owner) : owner_(owner) { ++owner_.held_; }
  ~TLock() override {
    --owner_.held_;
    owner_.Events.emplace_back("release");
  }
  TLock(const TLock&) = delete;
  TLock& operator=(const TLock&) = delete;

private:
  TZkFakeSleepInhibitor& owner_;
};

std::unique_ptr<TZkSleepLock> TZkFakeSleepInhibitor::Inhibit(const std::string& why) {
  if (!Available) {
    SetLastSystemError(FailureText);
    return nullptr;
  }
  Events.push_back("take: " + why);
  return std::make_unique<TLock>(*this);
}

}  // namespace zk::platform
