#pragma once
// The real service manager and session ender of this machine, on its system
// bus. They live in the zkplatform_system library, which only the programs
// link: the test programs are built without it and cannot reach either.

#include <memory>

#include "platform/ZkDesktopBus.h"
#include "platform/ZkServiceControl.h"
#include "platform/ZkSessionEnd.h"

namespace zk::platform {

std::unique_ptr<TZkServiceControl> SystemServiceControl();
std::unique_ptr<TZkSessionEnder> SystemSessionEnder();
// The background scheduler (the user unit backup-cli.service) and the
// desktop's notifications on the user's session bus; the sleep lock from
// logind on the system bus.
std::unique_ptr<TZkUserScheduler> SystemUserScheduler();
std::unique_ptr<TZkNotifier> SystemNotifier();
std::unique_ptr<TZkSleepInhibitor> SystemSleepInhibitor();

}  // namespace zk::platform
