#pragma once
// What a run and the windows ask of the user's desktop and of logind beyond
// the actions: the background scheduler as a user unit of the user's
// service manager, desktop notifications, and a lock against sleep while a
// run works. Each is an interface with its D-Bus backend here; the backends
// take their connection from a connect function, so that tests hand them a
// private bus of their own. Failures leave their reason in
// LastSystemErrorText.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ZkDbus.h"

namespace zk::platform {

// A user unit of the user's service manager.
class TZkUserScheduler {
public:
  virtual ~TZkUserScheduler() = default;
  // The unit is known to the manager, or its unit file lies where user
  // units live.
  virtual bool Installed() = 0;
  // The unit is active, or on its way there.
  virtual bool Running() = 0;
  // Enables the unit for the logins to come and starts it now.
  virtual bool EnableAndStart() = 0;
};

// The folders a user's service manager reads units from, the user's own
// first.
std::vector<std::string> UserUnitFolders();

// The unit (`backup-cli.service`) through systemd's manager on the bus
// `connect` gives (the user's session bus); every call connects anew.
std::unique_ptr<TZkUserScheduler> SystemdUserScheduler(std::function<TZkDbusConnection()> connect, std::string unit,
                                                       std::vector<std::string> unitFolders);

// Desktop notifications.
class TZkNotifier {
public:
  virtual ~TZkNotifier() = default;
  // Shows a short notice; false when no notification service took it.
  virtual bool Notify(const std::string& summary, const std::string& body) = 0;
};

// org.freedesktop.Notifications on the bus `connect` gives.
std::unique_ptr<TZkNotifier> DesktopNotifier(std::function<TZkDbusConnection()> connect);

// A lock against sleep and idle; letting it go releases it.
class TZkSleepLock {
public:
  virtual ~TZkSleepLock() = default;
};

class TZkSleepInhibitor {
public:
  virtual ~TZkSleepInhibitor() = default;
  // The lock, with `why` as the reason others see; none when it cannot be
  // taken.
  virtual std::unique_ptr<TZkSleepLock> Inhibit(const std::string& why) = 0;
};

// logind's block lock on "sleep:idle", for "Backup", on the bus `connect`
// gives (the system bus).
std::unique_ptr<TZkSleepInhibitor> LogindSleepInhibitor(std::function<TZkDbusConnection()> connect);

}  // namespace zk::platform
