#pragma once
// Stand-ins for the user's scheduler unit and the sleep lock: scripted
// answers, and a record of what they were asked.

#include <memory>
#include <string>
#include <vector>

#include "platform/ZkDesktopBus.h"

namespace zk::platform {

class TZkFakeUserScheduler : public TZkUserScheduler {
public:
  bool IsInstalled = false;
  bool IsRunning = false;
  // Whether EnableAndStart succeeds (and then runs the unit), and the text
  // a failure leaves.
  bool StartSucceeds = true;
  std::string FailureText = "Access denied";
  int StartCalls = 0;

  bool Installed() override { return IsInstalled; }
  bool Running() override { return IsRunning; }
  bool EnableAndStart() override;
};

class TZkFakeSleepInhibitor : public TZkSleepInhibitor {
public:
  // Without it, Inhibit fails with FailureText.
  bool Available = true;
  std::string FailureText = "The name org.freedesktop.login1 was not provided by any .service files";
  // "take: why" and "release", in order.
  std::vector<std::string> Events;
  int Held() const { return held_; }

  std::unique_ptr<TZkSleepLock> Inhibit(const std::string& why) override;

private:
  class TLock;
  int held_ = 0;
};

}  // namespace zk::platform
