#include "platform/ZkDesktopBus.h"

#include <fcntl.h>

#include <cerrno>
#include <optional>
#include <utility>

#include "platform/ZkDbusDetail.h"
#include "platform/ZkFileHandle.h"
#include "platform/ZkFileSystem.h"
#include "platform/ZkSystemError.h"
#include "platform/ZkUserFolders.h"

namespace zk::platform {
namespace {

using detail::TBusError;
using detail::TBusMessage;
using detail::TBusObject;

template <class... Args>
TBusMessage Call(sd_bus* bus, const char* destination, const char* path, const char* interface, const char* member,
                 const char* types, Args... args) {
  TBusError error;
  sd_bus_message* reply = nullptr;
  const int result =
      sd_bus_call_method(bus, destination, path, interface, member, error.Get(), &reply, types, args...);
  if (result < 0) {
    error.Report(result);
    return nullptr;
  }
  return TBusMessage(reply);
}

constexpr const char* kSystemd = "org.freedesktop.systemd1";
constexpr const char* kSystemdPath = "/org/freedesktop/systemd1";
constexpr const char* kSystemdManager = "org.freedesktop.systemd1.Manager";
constexpr const char* kUnitInterface = "org.freedesktop.systemd1.Unit";

class TSystemdUserScheduler final : public TZkUserScheduler {
public:
  TSystemdUserScheduler(std::function<TZkDbusConnection()> connect, std::string unit, std::vector<std::string> folders)
      : connect_(std::move(connect)), unit_(std::move(unit)), folders_(std::move(folders)) {}

  bool Installed() override {
    if (TZkDbusConnection bus = connect_(); bus.IsOpen()) {
      if (const auto state = UnitProperty(bus, "LoadState"); state && *state == "loaded") return true;
    }
    for (const std::string& folder : folders_)
      if (PathExists(folder + "/" + unit_)) return true;
    return false;
  }

  bool Running() override {
    TZkDbusConnection bus = connect_();
    if (!bus.IsOpen()) return false;
    const auto state = UnitProperty(bus, "ActiveState");
    return state && (*state == "active" || *state == "activating" || *state == "reloading");
  }

  bool EnableAndStart() override {
    TZkDbusConnection bus = connect_();
    if (!bus.IsOpen()) return false;
    // Not for this boot only, and without replacing links others made.
    if (!Call(bus.Get(), kSystemd, kSystemdPath, kSystemdManager, "EnableUnitFiles", "asbb", 1, unit_.c_str(), 0, 0))
      return false;
    // The manager reads the links it has just made.
    if (!Call(bus.Get(), kSystemd, kSystemdPath, kSystemdManager, "Reload", "")) return false;
    return static_cast<bool>(
        Call(bus.Get(), kSystemd, kSystemdPath, kSystemdManager, "StartUnit", "ss", unit_.c_str(), "replace"));
  }

private:
  // A property of the unit as the manager has it loaded; GetUnit knows only
  // loaded units, LoadUnit loads one from its file.
  std::optional<std::string> UnitProperty(const TZkDbusConnection& bus, const char* member) const {
    TBusMessage reply = Call(bus.Get(), kSystemd, kSystemdPath, kSystemdManager, "GetUnit", "s", unit_.c_str());
    if (!reply) reply = Call(bus.Get(), kSystemd, kSystemdPath, kSystemdManager, "LoadUnit", "s", unit_.c_str());
    const char* path = nullptr;
    if (!reply || sd_bus_message_read(reply.get(), "o", &path) < 0) return std::nullopt;
    return TBusObject{bus.Get(), kSystemd, path}.String(kUnitInterface, member, true);
  }

  std::function<TZkDbusConnection()> connect_;
  std::string unit_;
  std::vector<std::string> folders_;
};

class TDesktopNotifier final : public TZkNotifier {
public:
  explicit TDesktopNotifier(std::function<TZkDbusConnection()> connect) : connect_(std::move(connect)) {}

  bool Notify(const std::string& summary, const std::string& body) override {
    TZkDbusConnection bus = connect_();
    if (!bus.IsOpen()) return false;
    // No actions, no hints, the server's own display time.
    return static_cast<bool>(Call(bus.Get(), "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                                  "org.freedesktop.Notifications", "Notify", "susssasa{sv}i", "Backup", 0u, "backup",
                                  summary.c_str(), body.c_str(), 0, 0, -1));
  }

private:
  std::function<TZkDbusConnection()> connect_;
};

class TLogindSleepLock final : public TZkSleepLock {
public:
  explicit TLogindSleepLock(FileHandle fd) : fd_(std::move(fd)) {}

private:
  FileHandle fd_;
};

class TLogindSleepInhibitor final : public TZkSleepInhibitor {
public:
  explicit TLogindSleepInhibitor(std::function<TZkDbusConnection()> connect) : connect_(std::move(connect)) {}

  std::unique_ptr<TZkSleepLock> Inhibit(const std::string& why) override {
    TZkDbusConnection bus = connect_();
    if (!bus.IsOpen()) return nullptr;
    const TBusMessage reply = Call(bus.Get(), "org.freedesktop.login1", "/org/freedesktop/login1",
                                   "org.freedesktop.login1.Manager", "Inhibit", "ssss", "sleep:idle", "Backup",
                                   why.c_str(), "block");
    int fd = -1;
    if (!reply) return nullptr;
    if (sd_bus_message_read(reply.get(), "h", &fd) < 0) {
      SetLastSystemErrno(EBADMSG);
      return nullptr;
    }
    // The message owns the descriptor it carries; the lock lives as long as
    // a copy of it stays open.
    FileHandle lock(fcntl(fd, F_DUPFD_CLOEXEC, 3));
    if (!lock.IsOpen()) {
      SetLastSystemErrno(errno);
      return nullptr;
    }
    return std::make_unique<TLogindSleepLock>(std::move(lock));
  }

private:
  std::function<TZkDbusConnection()> connect_;
};

}  // namespace

std::vector<std::string> UserUnitFolders() {
  return {UserConfigFolder() + "/systemd/user", UserDataFolder() + "/systemd/user", "/etc/systemd/user",
          "/usr/local/lib/systemd/user", "/usr/lib/systemd/user", "/lib/systemd/user"};
}

std::unique_ptr<TZkUserScheduler> SystemdUserScheduler(std::function<TZkDbusConnection()> connect, std::string unit,
                                                       std::vector<std::string> unitFolders) {
  return std::make_unique<TSystemdUserScheduler>(std::move(connect), std::move(unit), std::move(unitFolders));
}

std::unique_ptr<TZkNotifier> DesktopNotifier(std::function<TZkDbusConnection()> connect) {
  return std::make_unique<TDesktopNotifier>(std::move(connect));
}

std::unique_ptr<TZkSleepInhibitor> LogindSleepInhibitor(std::function<TZkDbusConnection()> connect) {
  return std::make_unique<TLogindSleepInhibitor>(std::move(connect));
}

}  // namespace zk::platform
