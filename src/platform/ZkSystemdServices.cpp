#include "platform/ZkSystemdServices.h"

#include <cerrno>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ZkDbusDetail.h"
#include "platform/ZkSystemError.h"

namespace zk::platform {
namespace {

using detail::TBusError;
using detail::TBusMessage;
using detail::TBusObject;

constexpr const char* kDestination = "org.freedesktop.systemd1";
constexpr const char* kManagerPath = "/org/freedesktop/systemd1";
constexpr const char* kManagerInterface = "org.freedesktop.systemd1.Manager";
constexpr const char* kUnitInterface = "org.freedesktop.systemd1.Unit";
constexpr const char* kServiceInterface = "org.freedesktop.systemd1.Service";
constexpr std::string_view kSuffix = ".service";

std::string UnitName(const std::string& service) {
  if (service.size() > kSuffix.size() && service.compare(service.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0)
    return service;
  return service + std::string(kSuffix);
}

std::string ServiceName(const std::string& unit) {
  if (unit.size() > kSuffix.size() && unit.compare(unit.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0)
    return unit.substr(0, unit.size() - kSuffix.size());
  return unit;
}

bool IsStoppedState(const std::string& activeState) {
  return activeState == "inactive" || activeState == "failed";
}

std::uint32_t CurrentState(const std::string& activeState, const std::string& freezerState, bool hasJob) {
  if (activeState == "activating") return kServiceStartPending;
  if (activeState == "deactivating") return kServiceStopPending;
  if (IsStoppedState(activeState)) return hasJob ? kServiceStartPending : kServiceStopped;
  if (freezerState == "freezing") return kServicePausePending;
  if (freezerState == "frozen") return kServicePaused;
  if (freezerState == "thawing") return kServiceContinuePending;
  return hasJob ? kServiceStopPending : kServiceRunning;
}

// A unit settles in milliseconds as often as not, and its timeout (90 s by
// default) only says when systemd gives up; a pending unit is therefore
// polled at this interval, and its timeout becomes the wait limit.
constexpr std::uint32_t kPollIntervalMs = 250;

// A timeout in microseconds as a wait limit; systemd's "infinity" (and 0,
// which it shows for no timeout) set no limit.
std::uint32_t WaitLimit(std::optional<std::uint64_t> microseconds) {
  if (!microseconds || *microseconds == std::numeric_limits<std::uint64_t>::max()) return 0;
  const std::uint64_t ms = *microseconds / 1000;
  return ms > std::numeric_limits<std::uint32_t>::max() ? std::numeric_limits<std::uint32_t>::max()
                                                        : static_cast<std::uint32_t>(ms);
}

// A method of the manager object; the reply, or null with the failure
// reported.
template <class... Args>
TBusMessage CallManager(sd_bus* bus, const char* member, const char* types, Args... args) {
  TBusError error;
  sd_bus_message* reply = nullptr;
  const int result =
      sd_bus_call_method(bus, kDestination, kManagerPath, kManagerInterface, member, error.Get(), &reply, types, args...);
  if (result < 0) {
    error.Report(result);
    return nullptr;
  }
  return TBusMessage(reply);
}

class TSystemdHandle final : public TZkServiceHandle {
public:
  // The handle keeps the connection of its manager, which may be closed
  // first.
  TSystemdHandle(std::shared_ptr<TZkDbusConnection> bus, std::string unit, std::string path)
      : bus_(std::move(bus)), unit_(std::move(unit)), object_{bus_->Get(), kDestination, std::move(path)} {}

  bool QueryStatus(TZkServiceStatusRecord& status) override {
    const auto activeState = object_.String(kUnitInterface, "ActiveState", true);
    if (!activeState) return false;
    const std::string freezerState = object_.String(kUnitInterface, "FreezerState", false).value_or("running");
    const bool hasJob = JobId() != 0;
    status = {};
    status.ServiceType = kServiceWin32OwnProcess;
    status.CurrentState = CurrentState(*activeState, freezerState, hasJob);
    if (object_.Boolean(kUnitInterface, "CanStop").value_or(false)) status.ControlsAccepted |= kAcceptStop;
    if (object_.Boolean(kUnitInterface, "CanFreeze").value_or(false))
      status.ControlsAccepted |= kAcceptPauseContinue;
    const std::string result = object_.String(kServiceInterface, "Result", false).value_or("success");
    const std::int32_t exitStatus = object_.Int32(kServiceInterface, "ExecMainStatus").value_or(0);
    if (result != "success") {
      status.Win32ExitCode = kServiceSpecificError;
      status.ServiceSpecificExitCode = static_cast<std::uint32_t>(exitStatus);
    }
    const bool pending = status.CurrentState != kServiceStopped && status.CurrentState != kServiceRunning &&
                         status.CurrentState != kServicePaused;
    checkPoint_ = pending ? checkPoint_ + 1 : 0;
    status.CheckPoint = checkPoint_;
    if (pending) status.WaitHint = kPollIntervalMs;
    if (status.CurrentState == kServiceStartPending || status.CurrentState == kServiceContinuePending)
      status.WaitLimit = WaitLimit(object_.UInt64(kServiceInterface, "TimeoutStartUSec"));
    else if (status.CurrentState == kServiceStopPending)
      status.WaitLimit = WaitLimit(object_.UInt64(kServiceInterface, "TimeoutStopUSec"));
    return true;
  }

  bool QueryConfig(TZkServiceConfigRecord& config) override {
    const auto description = object_.String(kUnitInterface, "Description", true);
    if (!description) return false;
    config = {};
    config.ServiceType = kServiceWin32OwnProcess;
    const std::string fileState = object_.String(kUnitInterface, "UnitFileState", false).value_or("");
    if (fileState == "enabled" || fileState == "enabled-runtime" || fileState == "linked" ||
        fileState == "linked-runtime")
      config.StartType = kServiceAutoStart;
    else if (fileState == "masked" || fileState == "masked-runtime")
      config.StartType = kServiceDisabled;
    else
      config.StartType = kServiceDemandStart;
    config.ErrorControl = kServiceErrorNormal;
    config.BinaryPathName = ExecStart();
    const auto required = object_.Strings(kUnitInterface, "Requires");
    if (required && !required->empty()) config.Dependencies = required->front();
    config.ServiceStartName = object_.String(kServiceInterface, "User", false).value_or("");
    if (config.ServiceStartName.empty()) config.ServiceStartName = "root";
    config.DisplayName = *description;
    return true;
  }

  bool Start() override {
    const auto activeState = object_.String(kUnitInterface, "ActiveState", true);
    if (!activeState) return false;
    if (!IsStoppedState(*activeState)) {
      SetLastSystemError("Unit " + unit_ + " is already active.");
      return false;
    }
    return CallManager(object_.Bus, "StartUnit", "ss", unit_.c_str(), "replace") != nullptr;
  }

  bool Control(TZkServiceControlCode control) override {
    switch (control) {
      case TZkServiceControlCode::Stop:
        return CallManager(object_.Bus, "StopUnit", "ss", unit_.c_str(), "replace") != nullptr;
      case TZkServiceControlCode::Pause:
        return CallManager(object_.Bus, "FreezeUnit", "s", unit_.c_str()) != nullptr;
      case TZkServiceControlCode::Continue:
        return CallManager(object_.Bus, "ThawUnit", "s", unit_.c_str()) != nullptr;
    }
    return false;
  }

private:
  std::uint32_t JobId() const {
    const TBusMessage reply = object_.Property(kUnitInterface, "Job", "(uo)", false);
    std::uint32_t id = 0;
    const char* path = nullptr;
    if (!reply || sd_bus_message_read(reply.get(), "(uo)", &id, &path) < 0) return 0;
    return id;
  }

  // The program and arguments of the first command line.
  std::string ExecStart() const {
    const TBusMessage reply = object_.Property(kServiceInterface, "ExecStart", "a(sasbttttuii)", false);
    if (!reply) return {};
    sd_bus_message* m = reply.get();
    if (sd_bus_message_enter_container(m, 'a', "(sasbttttuii)") <= 0) return {};
    if (sd_bus_message_enter_container(m, 'r', "sasbttttuii") <= 0) return {};
    const char* path = nullptr;
    if (sd_bus_message_read(m, "s", &path) < 0) return {};
    std::string line = path;
    if (sd_bus_message_enter_container(m, 'a', "s") <= 0) return line;
    const char* arg = nullptr;
    // argv[0] names the program again.
    for (bool first = true; sd_bus_message_read(m, "s", &arg) > 0; first = false)
      if (!first) {
        line += ' ';
        line += arg;
      }
    return line;
  }

  std::shared_ptr<TZkDbusConnection> bus_;
  std::string unit_;
  TBusObject object_;
  std::uint32_t checkPoint_ = 0;
};

class TSystemdManager final : public TZkServiceManager {
public:
  explicit TSystemdManager(TZkDbusConnection bus) : bus_(std::make_shared<TZkDbusConnection>(std::move(bus))) {}

  std::unique_ptr<TZkServiceHandle> OpenService(const std::string& name) override {
    if (name.empty()) {
      SetLastSystemErrno(EINVAL);
      return nullptr;
    }
    const std::string unit = UnitName(name);
    const TBusMessage reply = CallManager(bus_->Get(), "LoadUnit", "s", unit.c_str());
    const char* path = nullptr;
    if (!reply) return nullptr;
    if (sd_bus_message_read(reply.get(), "o", &path) < 0) {
      SetLastSystemErrno(EBADMSG);
      return nullptr;
    }
    const TBusObject object{bus_->Get(), kDestination, path};
    const auto loadState = object.String(kUnitInterface, "LoadState", true);
    if (!loadState) return nullptr;
    if (*loadState == "not-found") {
      SetLastSystemError("Unit " + unit + " not found.");
      return nullptr;
    }
    return std::make_unique<TSystemdHandle>(bus_, unit, path);
  }

  bool EnumServices(std::uint32_t typeFilter, std::uint32_t stateFilter,
                    std::vector<TZkServiceEntry>& entries) override {
    entries.clear();
    // Every unit is a process of its own; there are no drivers.
    if ((typeFilter & kServiceWin32OwnProcess) == 0) return true;
    TBusError error;
    sd_bus_message* raw = nullptr;
    int result = sd_bus_call_method(bus_->Get(), kDestination, kManagerPath, kManagerInterface, "ListUnitsByPatterns",
                                    error.Get(), &raw, "asas", 0, 1, "*.service");
    if (result < 0) {
      error.Report(result);
      return false;
    }
    const TBusMessage reply(raw);
    if ((result = sd_bus_message_enter_container(raw, 'a', "(ssssssouso)")) < 0) {
      SetLastSystemErrno(-result);
      return false;
    }
    const char* name = nullptr;
    const char* description = nullptr;
    const char* loadState = nullptr;
    const char* activeState = nullptr;
    const char* subState = nullptr;
    const char* following = nullptr;
    const char* path = nullptr;
    std::uint32_t jobId = 0;
    const char* jobType = nullptr;
    const char* jobPath = nullptr;
    while ((result = sd_bus_message_read(raw, "(ssssssouso)", &name, &description, &loadState, &activeState,
                                         &subState, &following, &path, &jobId, &jobType, &jobPath)) > 0) {
      if (std::string_view(loadState) == "not-found") continue;
      const bool stopped = CurrentState(activeState, "running", jobId != 0) == kServiceStopped;
      if ((stateFilter & (stopped ? kServiceStateInactive : kServiceStateActive)) == 0) continue;
      entries.push_back({ServiceName(name), description});
    }
    if (result < 0) {
      SetLastSystemErrno(-result);
      return false;
    }
    return true;
  }

private:
  std::shared_ptr<TZkDbusConnection> bus_;
};

class TSystemdServiceControl final : public TZkServiceControl {
public:
  explicit TSystemdServiceControl(std::function<TZkDbusConnection()> connect) : connect_(std::move(connect)) {}

  std::unique_ptr<TZkServiceManager> OpenManager(const std::string& machine) override {
    // systemd manages its own machine only.
    if (!machine.empty()) {
      SetLastSystemErrno(ENOTSUP);
      return nullptr;
    }
    TZkDbusConnection bus = connect_();
    if (!bus.IsOpen()) return nullptr;
    const TBusObject manager{bus.Get(), kDestination, kManagerPath};
    if (!manager.String(kManagerInterface, "Version", true)) return nullptr;
    return std::make_unique<TSystemdManager>(std::move(bus));
  }

private:
  std::function<TZkDbusConnection()> connect_;
};

}  // namespace

std::unique_ptr<TZkServiceControl> SystemdServiceControl(std::function<TZkDbusConnection()> connect) {
  return std::make_unique<TSystemdServiceControl>(std::move(connect));
}

}  // namespace zk::platform
