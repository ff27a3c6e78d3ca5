#pragma once
// Ending the session: the privilege step and the call that asks the system
// to log off, shut down, restart or power off, with the Windows flag values
// (the Windows backend hands them to the system as they are), and the
// system's question whether the session may end.

#include <cstdint>
#include <functional>
#include <memory>

namespace zk::platform {

inline constexpr std::uint32_t kEndLogOff = 0x00;
inline constexpr std::uint32_t kEndShutDown = 0x01;
inline constexpr std::uint32_t kEndReboot = 0x02;
inline constexpr std::uint32_t kEndForce = 0x04;
inline constexpr std::uint32_t kEndPowerOff = 0x08;
inline constexpr std::uint32_t kEndForceIfHung = 0x10;
inline constexpr std::uint32_t kEndKindMask = kEndShutDown | kEndReboot | kEndPowerOff;

enum class TZkPrivilegeResult {
  Enabled,
  // The step itself failed; the reason is in LastSystemErrorText.
  Failed,
  // The step ran, but the process may not end the session this way.
  NotGranted
};

// Keeps the end-of-session query connected; disconnects when it goes away.
class TZkEndSessionWatch {
public:
  virtual ~TZkEndSessionWatch() = default;
};

// Asked whether the session may end; logOff tells a log-off from the other
// kinds. The result is the answer.
using TZkEndSessionQuery = std::function<bool(bool logOff)>;

class TZkSessionEnder {
public:
  virtual ~TZkSessionEnder() = default;
  // Gets the right to end the session in the way the flags ask for.
  virtual TZkPrivilegeResult EnableShutdownPrivilege(std::uint32_t flags) = 0;
  // Asks the system to end the session; its answer is not examined.
  virtual void EndSession(std::uint32_t flags) = 0;
  // Connects the query; null when the system never asks. The query may be
  // called on a thread of the watch's own.
  virtual std::unique_ptr<TZkEndSessionWatch> WatchEndOfSession(TZkEndSessionQuery query) = 0;
};

}  // namespace zk::platform
