#pragma once
// The service control manager: the services of a machine, their status and
// configuration, and the controls that start, stop, pause and continue them.
// Shaped after the Windows manager, whose codes the records carry, so that
// its backend and the systemd one sit behind the same interface. Every
// operation that fails returns false (or null) and leaves the system's text
// in LastSystemErrorText (platform/ZkSystemError.h).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zk::platform {

// Current-state codes.
inline constexpr std::uint32_t kServiceStopped = 1;
inline constexpr std::uint32_t kServiceStartPending = 2;
inline constexpr std::uint32_t kServiceStopPending = 3;
inline constexpr std::uint32_t kServiceRunning = 4;
inline constexpr std::uint32_t kServiceContinuePending = 5;
inline constexpr std::uint32_t kServicePausePending = 6;
inline constexpr std::uint32_t kServicePaused = 7;

// Type bits.
inline constexpr std::uint32_t kServiceKernelDriver = 0x01;
inline constexpr std::uint32_t kServiceFileSystemDriver = 0x02;
inline constexpr std::uint32_t kServiceAdapter = 0x04;
inline constexpr std::uint32_t kServiceRecognizerDriver = 0x08;
inline constexpr std::uint32_t kServiceWin32OwnProcess = 0x10;
inline constexpr std::uint32_t kServiceWin32ShareProcess = 0x20;
inline constexpr std::uint32_t kServiceInteractiveProcess = 0x100;
// Type filters of the enumeration.
inline constexpr std::uint32_t kServiceTypeAll = 0x13F;
inline constexpr std::uint32_t kServiceTypeWin32 = 0x30;
inline constexpr std::uint32_t kServiceTypeDriver = 0x0B;

// State filters of the enumeration.
inline constexpr std::uint32_t kServiceStateActive = 1;
inline constexpr std::uint32_t kServiceStateInactive = 2;
inline constexpr std::uint32_t kServiceStateAll = 3;

// Accepted-control bits.
inline constexpr std::uint32_t kAcceptStop = 0x01;
inline constexpr std::uint32_t kAcceptPauseContinue = 0x02;
inline constexpr std::uint32_t kAcceptShutdown = 0x04;
inline constexpr std::uint32_t kAcceptParamChange = 0x08;
inline constexpr std::uint32_t kAcceptNetbindChange = 0x10;
inline constexpr std::uint32_t kAcceptHardwareProfileChange = 0x20;
inline constexpr std::uint32_t kAcceptPowerEvent = 0x40;

// Start-type codes.
inline constexpr std::uint32_t kServiceBootStart = 0;
inline constexpr std::uint32_t kServiceSystemStart = 1;
inline constexpr std::uint32_t kServiceAutoStart = 2;
inline constexpr std::uint32_t kServiceDemandStart = 3;
inline constexpr std::uint32_t kServiceDisabled = 4;

inline constexpr std::uint32_t kServiceErrorNormal = 1;
// Win32 exit code of a service that ended with an exit code of its own.
inline constexpr std::uint32_t kServiceSpecificError = 1066;

enum class TZkServiceControlCode : std::uint32_t { Stop = 1, Pause = 2, Continue = 3 };

struct TZkServiceStatusRecord {
  std::uint32_t ServiceType = 0;
  std::uint32_t CurrentState = 0;
  std::uint32_t ControlsAccepted = 0;
  std::uint32_t Win32ExitCode = 0;
  std::uint32_t ServiceSpecificExitCode = 0;
  std::uint32_t CheckPoint = 0;
  std::uint32_t WaitHint = 0;  // milliseconds
  // Beyond the Windows record: how long the manager lets the pending state
  // last in all (a systemd unit's start or stop timeout), in milliseconds;
  // 0 when it sets no limit.
  std::uint32_t WaitLimit = 0;
};

struct TZkServiceConfigRecord {
  std::uint32_t ServiceType = 0;
  std::uint32_t StartType = 0;
  std::uint32_t ErrorControl = 0;
  std::string BinaryPathName;
  std::string LoadOrderGroup;
  std::uint32_t TagId = 0;
  // Only the first name of the dependency list.
  std::string Dependencies;
  std::string ServiceStartName;
  std::string DisplayName;
};

struct TZkServiceEntry {
  std::string ServiceName;
  std::string DisplayName;
};

// An open service; closed when the object goes away.
class TZkServiceHandle {
public:
  virtual ~TZkServiceHandle() = default;
  virtual bool QueryStatus(TZkServiceStatusRecord& status) = 0;
  virtual bool QueryConfig(TZkServiceConfigRecord& config) = 0;
  // Starts the service without arguments; fails when it already runs.
  virtual bool Start() = 0;
  virtual bool Control(TZkServiceControlCode control) = 0;
};

// The open manager of one machine; closed when the object goes away.
class TZkServiceManager {
public:
  virtual ~TZkServiceManager() = default;
  // Null when there is no such service or it cannot be opened.
  virtual std::unique_ptr<TZkServiceHandle> OpenService(const std::string& name) = 0;
  // The services matching both filters (kServiceType*, kServiceState*), in
  // the manager's order.
  virtual bool EnumServices(std::uint32_t typeFilter, std::uint32_t stateFilter,
                            std::vector<TZkServiceEntry>& entries) = 0;
};

// What opens the manager of a machine (empty = this one).
class TZkServiceControl {
public:
  virtual ~TZkServiceControl() = default;
  // Null when the manager cannot be opened.
  virtual std::unique_ptr<TZkServiceManager> OpenManager(const std::string& machine) = 0;
};

}  // namespace zk::platform
