#include "platform/ZkSystemPlatform.h"

#include <systemd/sd-bus.h>

#include "platform/ZkDbus.h"
#include "platform/ZkLogindSession.h"
#include "platform/ZkSystemError.h"
#include "platform/ZkSystemdServices.h"

namespace zk::platform {

TZkDbusConnection TZkDbusConnection::OpenSystemBus() {
  sd_bus* bus = nullptr;
  const int result = sd_bus_open_system(&bus);
  if (result < 0) {
    SetLastSystemErrno(-result);
    return {};
  }
  return TZkDbusConnection(bus);
}

TZkDbusConnection TZkDbusConnection::OpenSessionBus() {
  sd_bus* bus = nullptr;
  const int result = sd_bus_open_user(&bus);
  if (result < 0) {
    SetLastSystemErrno(-result);
    return {};
  }
  return TZkDbusConnection(bus);
}

std::unique_ptr<TZkServiceControl> SystemServiceControl() {
  return SystemdServiceControl(&TZkDbusConnection::OpenSystemBus);
}

std::unique_ptr<TZkSessionEnder> SystemSessionEnder() {
  return LogindSessionEnder(&TZkDbusConnection::OpenSystemBus);
}

std::unique_ptr<TZkUserScheduler> SystemUserScheduler() {
  return SystemdUserScheduler(&TZkDbusConnection::OpenSessionBus, "backup-cli.service", UserUnitFolders());
}

std::unique_ptr<TZkNotifier> SystemNotifier() { return DesktopNotifier(&TZkDbusConnection::OpenSessionBus); }

std::unique_ptr<TZkSleepInhibitor> SystemSleepInhibitor() {
  return LogindSleepInhibitor(&TZkDbusConnection::OpenSystemBus);
}

}  // namespace zk::platform
