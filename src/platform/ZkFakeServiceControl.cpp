#include "platform/ZkFakeServiceControl.h"

#include <algorithm>

#include "base/ZkText.h"
#include "platform/ZkSystemError.h"

namespace zk::platform {
namespace {

// The texts the Windows manager gives for these failures.
constexpr const char* kNoSuchService = "The specified service does not exist as an installed service.";
constexpr const char* kUnreachable = "The RPC server is unavailable.";
constexpr const char* kAlreadyRunning = "An instance of the service is already running.";
constexpr const char* kNotActive = "The service has not been started.";
constexpr const char* kAccessDenied = "Access is denied.";
constexpr const char* kCannotAccept = "The requested control is not valid for this service.";

}  // namespace

class TZkFakeServiceControl::THandle final : public TZkServiceHandle {
public:
  THandle(TZkFakeServiceControl& owner, TService& service) : owner_(owner), service_(service) {}
  bool QueryStatus(TZkServiceStatusRecord& status) override { return owner_.QueryStatus(service_, status); }
  bool QueryConfig(TZkServiceConfigRecord& config) override {
    owner_.Calls.push_back("QueryConfig " + service_.Entry.ServiceName);
    if (!service_.ConfigReadable) {
      SetLastSystemError(kAccessDenied);
      return false;
    }
    config = service_.Config;
    return true;
  }
  bool Start() override { return owner_.Start(service_); }
  bool Control(TZkServiceControlCode control) override { return owner_.Control(service_, control); }

private:
  TZkFakeServiceControl& owner_;
  TService& service_;
};

class TZkFakeServiceControl::TManager final : public TZkServiceManager {
public:
  explicit TManager(TZkFakeServiceControl& owner) : owner_(owner) {}

  std::unique_ptr<TZkServiceHandle> OpenService(const std::string& name) override {
    owner_.Calls.push_back("OpenService " + name);
    TService* service = owner_.Find(name);
    if (service == nullptr) {
      SetLastSystemError(kNoSuchService);
      return nullptr;
    }
    if (!service->Openable) {
      SetLastSystemError(kAccessDenied);
      return nullptr;
    }
    return std::make_unique<THandle>(owner_, *service);
  }

  bool EnumServices(std::uint32_t typeFilter, std::uint32_t stateFilter,
                    std::vector<TZkServiceEntry>& entries) override {
    owner_.Calls.push_back("Enum " + std::to_string(typeFilter) + " " + std::to_string(stateFilter));
    entries.clear();
    for (const auto& service : owner_.services_) {
      const bool stopped = service->Status.CurrentState == kServiceStopped;
      const std::uint32_t stateBit = stopped ? kServiceStateInactive : kServiceStateActive;
      if ((service->Status.ServiceType & typeFilter) != 0 && (stateBit & stateFilter) != 0)
        entries.push_back(service->Entry);
    }
    return true;
  }

private:
  TZkFakeServiceControl& owner_;
};

TZkFakeServiceControl::TService& TZkFakeServiceControl::AddService(const std::string& name,
                                                                   const std::string& displayName,
                                                                   std::uint32_t state,
                                                                   std::uint32_t controlsAccepted) {
  auto service = std::make_unique<TService>();
  service->Entry = {name, displayName};
  service->Status.ServiceType = kServiceWin32OwnProcess;
  service->Status.CurrentState = state;
  service->Status.ControlsAccepted = controlsAccepted;
  service->Config.ServiceType = kServiceWin32OwnProcess;
  service->Config.StartType = kServiceDemandStart;
  service->Config.ErrorControl = kServiceErrorNormal;
  service->Config.DisplayName = displayName;
  services_.push_back(std::move(service));
  return *services_.back();
}

TZkFakeServiceControl::TService* TZkFakeServiceControl::Find(const std::string& name) {
  for (const auto& service : services_)
    if (SameText(service->Entry.ServiceName, name)) return service.get();
  return nullptr;
}

void TZkFakeServiceControl::SetReachable(const std::string& machine, bool reachable) {
  std::erase_if(reachable_, [&](const std::string& m) { return SameText(m, machine); });
  if (reachable) reachable_.push_back(machine);
}

std::unique_ptr<TZkServiceManager> TZkFakeServiceControl::OpenManager(const std::string& machine) {
  Calls.push_back("OpenManager " + machine);
  const bool known =
      std::any_of(reachable_.begin(), reachable_.end(), [&](const std::string& m) { return SameText(m, machine); });
  if (!known) {
    SetLastSystemError(kUnreachable);
    return nullptr;
  }
  return std::make_unique<TManager>(*this);
}

bool TZkFakeServiceControl::QueryStatus(TService& service, TZkServiceStatusRecord& status) {
  Calls.push_back("QueryStatus " + service.Entry.ServiceName);
  if (!service.Pending.empty()) {
    service.Status = service.Pending.front();
    service.Pending.pop_front();
  }
  status = service.Status;
  return true;
}

void TZkFakeServiceControl::Move(TService& service, std::uint32_t finalState) {
  if (service.Script.empty()) {
    service.Status.CurrentState = finalState;
    service.Status.CheckPoint = 0;
    service.Status.WaitHint = 0;
    service.Status.WaitLimit = 0;
    return;
  }
  service.Pending = std::move(service.Script);
  service.Script.clear();
}

bool TZkFakeServiceControl::Start(TService& service) {
  Calls.push_back("Start " + service.Entry.ServiceName);
  if (service.Status.CurrentState != kServiceStopped) {
    SetLastSystemError(kAlreadyRunning);
    return false;
  }
  Move(service, kServiceRunning);
  return true;
}

bool TZkFakeServiceControl::Control(TService& service, TZkServiceControlCode control) {
  Calls.push_back("Control " + service.Entry.ServiceName + " " +
                  std::to_string(static_cast<std::uint32_t>(control)));
  const std::uint32_t state = service.Status.CurrentState;
  if (state == kServiceStopped) {
    SetLastSystemError(kNotActive);
    return false;
  }
  const std::uint32_t needed = control == TZkServiceControlCode::Stop ? kAcceptStop : kAcceptPauseContinue;
  if ((service.Status.ControlsAccepted & needed) == 0) {
    SetLastSystemError(kCannotAccept);
    return false;
  }
  switch (control) {
    case TZkServiceControlCode::Stop:
      Move(service, kServiceStopped);
      break;
    case TZkServiceControlCode::Pause:
      Move(service, kServicePaused);
      break;
    case TZkServiceControlCode::Continue:
      Move(service, kServiceRunning);
      break;
  }
  return true;
}

}  // namespace zk::platform
