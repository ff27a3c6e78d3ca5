#include "system/ZkService.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "platform/ZkSystemError.h"
#include "util/ZkUtil.h"

namespace zk {
namespace {

using platform::TZkServiceControlCode;

// The system's bit of each set element, in element order.
constexpr std::array<std::uint32_t, 7> kTypeBits = {
    platform::kServiceWin32OwnProcess, platform::kServiceWin32ShareProcess, platform::kServiceKernelDriver,
    platform::kServiceFileSystemDriver, platform::kServiceInteractiveProcess, platform::kServiceAdapter,
    platform::kServiceRecognizerDriver};
constexpr std::array<std::uint32_t, 7> kAcceptBits = {
    platform::kAcceptStop,           platform::kAcceptPauseContinue,         platform::kAcceptShutdown,
    platform::kAcceptParamChange,    platform::kAcceptNetbindChange,         platform::kAcceptHardwareProfileChange,
    platform::kAcceptPowerEvent};
constexpr std::array<std::uint32_t, 3> kTypeFilters = {platform::kServiceTypeAll, platform::kServiceTypeWin32,
                                                       platform::kServiceTypeDriver};
constexpr std::array<std::uint32_t, 3> kStateFilters = {platform::kServiceStateAll, platform::kServiceStateActive,
                                                        platform::kServiceStateInactive};

// A wait for a state ends after this much of wait hints when the manager
// sets no limit of its own.
constexpr std::uint64_t kDefaultWaitLimitMs = 5 * 60 * 1000;

template <class E, std::size_t N>
TZkSet<E> SetOf(std::uint32_t mask, const std::array<std::uint32_t, N>& bits) {
  TZkSet<E> result;
  for (std::size_t i = 0; i < N; ++i)
    if ((mask & bits[i]) != 0) result.Include(static_cast<E>(i));
  return result;
}

class TWaitCursorScope {
public:
  explicit TWaitCursorScope(TZkWaitCursor* cursor) : cursor_(cursor) {
    if (cursor_ != nullptr) cursor_->Show();
  }
  ~TWaitCursorScope() {
    if (cursor_ != nullptr) cursor_->Restore();
  }
  TWaitCursorScope(const TWaitCursorScope&) = delete;
  TWaitCursorScope& operator=(const TWaitCursorScope&) = delete;

private:
  TZkWaitCursor* cursor_;
};

[[noreturn]] void RaiseFailed(std::string_view operation) {
  throw EZkServiceError(FormatMessage("%s failed (%s) ", {operation, LastErrorMessage()}));
}

bool IsSettled(std::uint32_t state) {
  return state == platform::kServiceStopped || state == platform::kServiceRunning ||
         state == platform::kServicePaused;
}

}  // namespace

TServiceTypes ServiceTypesOf(std::uint32_t mask) {
  return SetOf<TServiceTypex>(mask, kTypeBits);
}

TServiceCtrlsAccepteds ControlsAcceptedOf(std::uint32_t mask) {
  return SetOf<TServiceCtrlsAccepted>(mask, kAcceptBits);
}

std::string LastErrorMessage() {
  return platform::LastSystemErrorText();
}

std::unique_ptr<platform::TZkServiceHandle> OpenServiceHandle(platform::TZkServiceControl& manager,
                                                              const std::string& machine,
                                                              const std::string& service) {
  const std::unique_ptr<platform::TZkServiceManager> scm = manager.OpenManager(machine);
  if (!scm) throw EZkServiceError(FormatMessage("%s ServerName failed (%s) ", {machine, LastErrorMessage()}));
  std::unique_ptr<platform::TZkServiceHandle> handle = scm->OpenService(service);
  if (!handle) throw EZkServiceError(FormatMessage("%s ServiseName failed (%s) ", {service, LastErrorMessage()}));
  return handle;
}

void WaitServiceState(platform::TZkServiceHandle& handle, std::uint32_t state, platform::TZkSleeper& sleeper) {
  platform::TZkServiceStatusRecord status;
  if (!handle.QueryStatus(status) || state == 0) return;
  std::uint64_t waited = 0;
  while (status.CurrentState != state) {
    // A service that has come to rest elsewhere (one that stopped while
    // starting) will not get there.
    if (IsSettled(status.CurrentState)) return;
    const std::uint64_t limit = status.WaitLimit != 0 ? status.WaitLimit : kDefaultWaitLimitMs;
    if (waited >= limit) return;
    const std::uint32_t checkPoint = status.CheckPoint;
    const std::uint64_t hint =
        std::min<std::uint64_t>({status.WaitHint, limit - waited, std::numeric_limits<int>::max()});
    sleeper.Sleep(static_cast<int>(hint));
    waited += std::max<std::uint64_t>(hint, 1);
    if (!handle.QueryStatus(status)) return;
    if (checkPoint > status.CheckPoint) return;
  }
}

bool ControlServiceAndWait(const TZkServiceContext& context, const std::string& machine, const std::string& service,
                           TZkServiceControlCode control, std::string_view operationText, std::uint32_t state) {
  const TWaitCursorScope cursor(context.WaitCursor);
  const auto handle = OpenServiceHandle(context.Manager, machine, service);
  if (!handle->Control(control)) RaiseFailed(operationText);
  WaitServiceState(*handle, state, context.Sleeper);
  return true;
}

bool ServiceStart(const TZkServiceContext& context, const std::string& machine, const std::string& service) {
  const TWaitCursorScope cursor(context.WaitCursor);
  const auto handle = OpenServiceHandle(context.Manager, machine, service);
  if (!handle->Start()) RaiseFailed("Startservice");
  WaitServiceState(*handle, platform::kServiceRunning, context.Sleeper);
  return true;
}

bool ServiceStop(const TZkServiceContext& context, const std::string& machine, const std::string& service) {
  return ControlServiceAndWait(context, machine, service, TZkServiceControlCode::Stop, "Service stop ",
                               platform::kServiceStopped);
}

bool ServicePause(const TZkServiceContext& context, const std::string& machine, const std::string& service) {
  return ControlServiceAndWait(context, machine, service, TZkServiceControlCode::Pause, "Service pause ",
                               platform::kServicePaused);
}

bool ServiceContinue(const TZkServiceContext& context, const std::string& machine, const std::string& service) {
  return ControlServiceAndWait(context, machine, service, TZkServiceControlCode::Continue, "Service continue ",
                               platform::kServiceRunning);
}

platform::TZkServiceStatusRecord ServiceQueryStatus(platform::TZkServiceControl& manager, const std::string& machine,
                                                    const std::string& service) {
  const auto handle = OpenServiceHandle(manager, machine, service);
  platform::TZkServiceStatusRecord status;
  if (!handle->QueryStatus(status)) RaiseFailed("QueryServiceStatus");
  return status;
}

platform::TZkServiceConfigRecord ServiceQueryConfig(platform::TZkServiceControl& manager, const std::string& machine,
                                                    const std::string& service) {
  const auto handle = OpenServiceHandle(manager, machine, service);
  platform::TZkServiceConfigRecord config;
  if (!handle->QueryConfig(config)) RaiseFailed("QueryServiceConfig");
  return config;
}

// --- Live views -------------------------------------------------------------

platform::TZkServiceStatusRecord TZkServiceStatus::Read() const {
  return ServiceQueryStatus(item_.ServiceCtrl().Context().Manager, item_.ServerName(), item_.ServiceName());
}

std::uint32_t TZkServiceStatus::CheckPoint() const {
  return Read().CheckPoint;
}

TServiceCtrlsAccepteds TZkServiceStatus::ControlsAccepted() const {
  return ControlsAcceptedOf(Read().ControlsAccepted);
}

TServiceCurrentState TZkServiceStatus::CurrentState() const {
  // A code outside 1 to 7 reads as stopped.
  const std::uint32_t code = Read().CurrentState;
  return code >= 1 && code <= 7 ? static_cast<TServiceCurrentState>(code - 1) : TServiceCurrentState::csStopped;
}

std::uint32_t TZkServiceStatus::ServiceSpecificExitCode() const {
  return Read().ServiceSpecificExitCode;
}

TServiceTypes TZkServiceStatus::ServiceTypes() const {
  return ServiceTypesOf(Read().ServiceType);
}

std::uint32_t TZkServiceStatus::WaitHint() const {
  return Read().WaitHint;
}

std::uint32_t TZkServiceStatus::Win32ExitCode() const {
  return Read().Win32ExitCode;
}

platform::TZkServiceConfigRecord TZkServiceConfig::Read() const {
  return ServiceQueryConfig(item_.ServiceCtrl().Context().Manager, item_.ServerName(), item_.ServiceName());
}

std::string TZkServiceConfig::BinaryPathName() const {
  return Read().BinaryPathName;
}

std::string TZkServiceConfig::Dependencies() const {
  return Read().Dependencies;
}

std::string TZkServiceConfig::DisplayName() const {
  return Read().DisplayName;
}

std::string TZkServiceConfig::LoadOrderGroup() const {
  return Read().LoadOrderGroup;
}

std::string TZkServiceConfig::ServiceStartName() const {
  return Read().ServiceStartName;
}

TServiceTypes TZkServiceConfig::ServiceTypes() const {
  return ServiceTypesOf(Read().ServiceType);
}

std::uint32_t TZkServiceConfig::TagId() const {
  return Read().TagId;
}

TServiceErrorCtrl TZkServiceConfig::ErrorCtrl() const {
  const std::uint32_t code = Read().ErrorControl;
  return code <= 3 ? static_cast<TServiceErrorCtrl>(code) : TServiceErrorCtrl::seNormal;
}

TServiceStart TZkServiceConfig::StartType() const {
  const std::uint32_t code = Read().StartType;
  return code <= 4 ? static_cast<TServiceStart>(code) : TServiceStart::ssDemand;
}

// --- TZkServiceItem ---------------------------------------------------------

std::string TZkServiceItem::DisplayName() const {
  return displayName_.empty() ? TZkCollectionItem::DisplayName() : displayName_;
}

TZkServiceCtrl& TZkServiceItem::ServiceCtrl() const {
  auto* ctrl = Collection() != nullptr ? dynamic_cast<TZkServiceCtrl*>(Collection()->Owner()) : nullptr;
  if (ctrl == nullptr) throw EZkServiceError("The service item belongs to no service list");
  return *ctrl;
}

const std::string& TZkServiceItem::ServerName() const {
  return ServiceCtrl().ServerName();
}

bool TZkServiceItem::CanPauseContinue() const {
  return status_.ControlsAccepted().Contains(TServiceCtrlsAccepted::caAcceptPauseContinue);
}

bool TZkServiceItem::CanStop() const {
  return status_.ControlsAccepted().Contains(TServiceCtrlsAccepted::caAcceptStop);
}

bool TZkServiceItem::IsPaused() const {
  return status_.CurrentState() == TServiceCurrentState::csPaused;
}

bool TZkServiceItem::IsRunning() const {
  return status_.CurrentState() == TServiceCurrentState::csRunning;
}

bool TZkServiceItem::IsStopped() const {
  return status_.CurrentState() == TServiceCurrentState::csStopped;
}

bool TZkServiceItem::Start() const {
  return ServiceStart(ServiceCtrl().Context(), ServerName(), serviceName_);
}

bool TZkServiceItem::Stop() const {
  return ServiceStop(ServiceCtrl().Context(), ServerName(), serviceName_);
}

bool TZkServiceItem::Pause() const {
  return ServicePause(ServiceCtrl().Context(), ServerName(), serviceName_);
}

bool TZkServiceItem::Continue() const {
  return ServiceContinue(ServiceCtrl().Context(), ServerName(), serviceName_);
}

// --- TZkServiceCtrl ---------------------------------------------------------

TZkServiceCtrl::TZkServiceCtrl(const TZkServiceContext& context) : context_(context), services_(this) {}

TZkServiceCtrl::~TZkServiceCtrl() {
  // The items reach the component while they go.
  services_.Clear();
}

void TZkServiceCtrl::SetSorting(TServiceSorting value) {
  if (value == sorting_) return;
  sorting_ = value;
  if (value == TServiceSorting::ssNothingSort)
    Refresh();
  else
    SortServices();
}

void TZkServiceCtrl::SetServerName(const std::string& value) {
  if (value == serverName_) return;
  serverName_ = value;
  Refresh();
}

void TZkServiceCtrl::SetServiceType(TServiceType value) {
  if (value == serviceType_) return;
  serviceType_ = value;
  Refresh();
}

void TZkServiceCtrl::SetServiceState(TServiceState value) {
  if (value == serviceState_) return;
  serviceState_ = value;
  Refresh();
}

void TZkServiceCtrl::Refresh() {
  const std::unique_ptr<platform::TZkServiceManager> scm = context_.Manager.OpenManager(serverName_);
  if (!scm) return;
  std::vector<platform::TZkServiceEntry> entries;
  // A failed enumeration lists what it returned, as a partly filled buffer
  // would.
  scm->EnumServices(kTypeFilters[static_cast<std::size_t>(serviceType_)],
                    kStateFilters[static_cast<std::size_t>(serviceState_)], entries);
  services_.Clear();
  for (const platform::TZkServiceEntry& entry : entries) {
    TZkServiceItem& item = services_.Add();
    item.SetServiceName(entry.ServiceName);
    item.SetServiceDisplayName(entry.DisplayName);
  }
  SortServices();
}

void TZkServiceCtrl::SortServices() {
  if (sorting_ == TServiceSorting::ssNothingSort) return;
  const bool byName = sorting_ == TServiceSorting::ssServiceName;
  services_.Sort([byName](const TZkCollectionItem& a, const TZkCollectionItem& b) {
    const auto& left = static_cast<const TZkServiceItem&>(a);
    const auto& right = static_cast<const TZkServiceItem&>(b);
    const std::string ka = LowerAsciiText(byName ? left.ServiceName() : left.ServiceDisplayName());
    const std::string kb = LowerAsciiText(byName ? right.ServiceName() : right.ServiceDisplayName());
    return std::strcoll(ka.c_str(), kb.c_str()) < 0;
  });
}

const TPropList& TZkServiceCtrl::ClassProperties() {
  using T = TZkServiceCtrl;
  static const TPropList list =
      TPropTable<T>(TZkPersistent::ClassProperties())
          .Enumeration("Sorting", {"ssNothingSort", "ssServiceName", "ssDisplayName"}, &T::Sorting, &T::SetSorting,
                       TServiceSorting::ssNothingSort)
          .String("ServerName", &T::ServerName, &T::SetServerName)
          .Enumeration("ServiceType", {"stAll", "stWIN32", "stDriver"}, &T::ServiceType, &T::SetServiceType,
                       TServiceType::stAll)
          .Enumeration("ServiceState", {"ssAll", "ssActive", "ssInactive"}, &T::ServiceState, &T::SetServiceState,
                       TServiceState::ssAll)
          .List();
  return list;
}

}  // namespace zk
