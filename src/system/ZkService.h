#pragma once
// Services of a machine: free functions that start, stop, pause and continue
// one service and wait until it has got there, and a component that lists
// the services with live views of their status and configuration. Machine
// names are empty for this machine. Everything goes through the service
// control manager of the platform layer, handed in by the caller.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/ZkError.h"
#include "platform/ZkClock.h"
#include "platform/ZkServiceControl.h"
#include "store/Published.h"

namespace zk {

// A failed service operation; the message carries the system's text.
class EZkServiceError : public EZkError {
public:
  using EZkError::EZkError;
};

enum class TServiceSorting { ssNothingSort, ssServiceName, ssDisplayName };
enum class TServiceType { stAll, stWIN32, stDriver };
enum class TServiceState { ssAll, ssActive, ssInactive };
enum class TServiceCurrentState {
  csStopped,
  csStartPending,
  csStopPending,
  csRunning,
  csContinuePending,
  csPausePending,
  csPaused
};
enum class TServiceTypex {
  stWin32OwnProcess,
  stWin32ShareProcess,
  stKernelDriver,
  stFileSystemDriver,
  stInteractiveProcess,
  stServiceAdapter,
  stRecognizerDriver
};
using TServiceTypes = TZkSet<TServiceTypex>;
enum class TServiceCtrlsAccepted {
  caAcceptStop,
  caAcceptPauseContinue,
  caAcceptShutdown,
  caAcceptParamChange,
  caAcceptNetbindChange,
  caAcceptHardwareProfileChange,
  caAcceptPowerEvent
};
using TServiceCtrlsAccepteds = TZkSet<TServiceCtrlsAccepted>;
enum class TServiceErrorCtrl { seIgnore, seNormal, seSevere, seCritical };
enum class TServiceStart { ssBoot, ssSystem, ssAuto, ssDemand, ssDisabled };

// The sets of the system's bit masks; bits without an element are dropped.
TServiceTypes ServiceTypesOf(std::uint32_t mask);
TServiceCtrlsAccepteds ControlsAcceptedOf(std::uint32_t mask);

// Shows the busy cursor while a control waits for its service. The core has
// no cursor: a window hands in its own (it is called from whichever thread
// controls the service); without one nothing is shown.
class TZkWaitCursor {
public:
  virtual ~TZkWaitCursor() = default;
  virtual void Show() = 0;
  virtual void Restore() = 0;
};

// What the service functions work with: the manager, the sleeper of the
// waits for a state, and the cursor to show meanwhile (none when null; it
// must outlive every control made with the context).
struct TZkServiceContext {
  platform::TZkServiceControl& Manager;
  platform::TZkSleeper& Sleeper;
  TZkWaitCursor* WaitCursor = nullptr;
};

// The system's text for the calling thread's last failure.
std::string LastErrorMessage();

// Opens the machine's manager, then the service, and closes the manager.
// Raises "%s ServerName failed (%s) " or "%s ServiseName failed (%s) ".
std::unique_ptr<platform::TZkServiceHandle> OpenServiceHandle(platform::TZkServiceControl& manager,
                                                              const std::string& machine,
                                                              const std::string& service);

// Waits until the service reports the state (a current-state code; 0 does
// not wait), sleeping each status's wait hint in between. Also ends when a
// status cannot be read, when the check point goes down, when the service
// has settled in another state, or when the wait hints add up to the
// status's wait limit (five minutes when it has none; each round counting
// at least 1 ms). Raises nothing.
void WaitServiceState(platform::TZkServiceHandle& handle, std::uint32_t state, platform::TZkSleeper& sleeper);

// Sends the control and waits for the state; raises "%s failed (%s) " with
// the operation's text when the control is refused.
bool ControlServiceAndWait(const TZkServiceContext& context, const std::string& machine, const std::string& service,
                           platform::TZkServiceControlCode control, std::string_view operationText,
                           std::uint32_t state);

bool ServiceStart(const TZkServiceContext& context, const std::string& machine, const std::string& service);
bool ServiceStop(const TZkServiceContext& context, const std::string& machine, const std::string& service);
bool ServicePause(const TZkServiceContext& context, const std::string& machine, const std::string& service);
bool ServiceContinue(const TZkServiceContext& context, const std::string& machine, const std::string& service);

platform::TZkServiceStatusRecord ServiceQueryStatus(platform::TZkServiceControl& manager, const std::string& machine,
                                                    const std::string& service);
platform::TZkServiceConfigRecord ServiceQueryConfig(platform::TZkServiceControl& manager, const std::string& machine,
                                                    const std::string& service);

class TZkServiceItem;
class TZkServiceCtrl;

// Live view of a service's status: every read asks the system afresh and
// raises what ServiceQueryStatus raises.
class TZkServiceStatus {
public:
  explicit TZkServiceStatus(const TZkServiceItem& item) : item_(item) {}
  std::uint32_t CheckPoint() const;
  TServiceCtrlsAccepteds ControlsAccepted() const;
  TServiceCurrentState CurrentState() const;
  std::uint32_t ServiceSpecificExitCode() const;
  TServiceTypes ServiceTypes() const;
  std::uint32_t WaitHint() const;
  std::uint32_t Win32ExitCode() const;

private:
  platform::TZkServiceStatusRecord Read() const;
  const TZkServiceItem& item_;
};

// Live view of a service's configuration, read afresh like the status.
class TZkServiceConfig {
public:
  explicit TZkServiceConfig(const TZkServiceItem& item) : item_(item) {}
  std::string BinaryPathName() const;
  // The first name of the dependency list.
  std::string Dependencies() const;
  std::string DisplayName() const;
  std::string LoadOrderGroup() const;
  std::string ServiceStartName() const;
  TServiceTypes ServiceTypes() const;
  std::uint32_t TagId() const;
  TServiceErrorCtrl ErrorCtrl() const;
  TServiceStart StartType() const;

private:
  platform::TZkServiceConfigRecord Read() const;
  const TZkServiceItem& item_;
};

class TZkServiceItem : public TZkCollectionItem {
public:
  TZkServiceItem() : status_(*this), config_(*this) {}

  // The display name as the enumeration gave it (may be empty).
  const std::string& ServiceDisplayName() const { return displayName_; }
  void SetServiceDisplayName(const std::string& value) { displayName_ = value; }
  const std::string& ServiceName() const { return serviceName_; }
  void SetServiceName(const std::string& value) { serviceName_ = value; }
  const TZkServiceStatus& Status() const { return status_; }
  const TZkServiceConfig& Config() const { return config_; }

  // The display name, or the class name when it is empty.
  std::string DisplayName() const override;

  // The component whose list holds the item; raises when there is none.
  TZkServiceCtrl& ServiceCtrl() const;
  const std::string& ServerName() const;

  bool CanPauseContinue() const;
  bool CanStop() const;
  bool IsPaused() const;
  bool IsRunning() const;
  bool IsStopped() const;
  bool Start() const;
  bool Stop() const;
  bool Pause() const;
  bool Continue() const;

private:
  std::string displayName_;
  std::string serviceName_;
  TZkServiceStatus status_;
  TZkServiceConfig config_;
};

using TZkServiceList = TZkOwnedCollection<TZkServiceItem>;

class TZkServiceCtrl : public TZkPersistent {
public:
  // The context must outlive the component. Nothing is listed until the
  // first Refresh or change of a setting.
  explicit TZkServiceCtrl(const TZkServiceContext& context);
  ~TZkServiceCtrl() override;

  TServiceSorting Sorting() const { return sorting_; }
  void SetSorting(TServiceSorting value);
  const std::string& ServerName() const { return serverName_; }
  void SetServerName(const std::string& value);
  TServiceType ServiceType() const { return serviceType_; }
  void SetServiceType(TServiceType value);
  TServiceState ServiceState() const { return serviceState_; }
  void SetServiceState(TServiceState value);

  const TZkServiceList& Services() const { return services_; }
  TZkServiceItem& Items(int index) const { return services_.Items(index); }
  const TZkServiceContext& Context() const { return context_; }

  // Lists the services again, in the manager's order, then sorts them. A
  // manager that cannot be opened leaves the list as it was.
  void Refresh();
  // Sorts by the key of Sorting, ignoring case; nothing for ssNothingSort.
  void SortServices();

  const TPropList& Properties() const override { return ClassProperties(); }
  static const TPropList& ClassProperties();

private:
  TZkServiceContext context_;
  TServiceSorting sorting_ = TServiceSorting::ssNothingSort;
  std::string serverName_;
  TServiceType serviceType_ = TServiceType::stAll;
  TServiceState serviceState_ = TServiceState::ssAll;
  TZkServiceList services_;
};

}  // namespace zk
