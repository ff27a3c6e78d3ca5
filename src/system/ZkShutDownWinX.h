#pragma once
// Ending the session: log off, power off, restart or shut down, optionally
// forcing programs to close, through the session ender of the platform
// layer handed in by the caller; and a component that carries the chosen
// kind and answers the system's question whether the session may end.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "base/ZkError.h"
#include "platform/ZkSessionEnd.h"
#include "store/Published.h"

namespace zk {

// The privilege step failed; the session was not ended.
class EZkShutDownError : public EZkError {
public:
  using EZkError::EZkError;
};

enum class TShutDownType { sdtLogOff, sdtPowerOff, sdtReboot, sdtShutDown };

// The session-end flags of the kind and options: force if hung wins over
// force.
std::uint32_t ShutDownFlags(TShutDownType type, bool force, bool forceIfHung);

// The system's text for the calling thread's last failure.
std::string SystemErrorText();

// Gets the right to end the session, then asks the system to end it with the
// flags; whether it does is not checked. Raises the system's text when the
// privilege step fails, "Hibás hatókör beállítás." when the right is not
// granted.
void ShutDownWindows(platform::TZkSessionEnder& ender, TShutDownType type, bool force, bool forceIfHung);
void WindowsShutDown(platform::TZkSessionEnder& ender, bool force, bool forceIfHung);
void WindowsReboot(platform::TZkSessionEnder& ender, bool force, bool forceIfHung);

class TZkShutDownWin : public TZkPersistent {
public:
  // Sender, LogOff, AcceptShutDown (starts true).
  using TQueryEndSessionEvent = std::function<void(TZkShutDownWin& sender, bool logOff, bool& acceptShutDown)>;

  // Connects the end-of-session query of the ender, which must outlive the
  // component; where the platform never asks, the event is never called.
  explicit TZkShutDownWin(platform::TZkSessionEnder& ender);

  // Called from the ender's watch, possibly on a thread of its own.
  TQueryEndSessionEvent OnQueryEndSession() const;
  void SetOnQueryEndSession(TQueryEndSessionEvent handler);
  TShutDownType ShutDownType() const { return shutDownType_; }
  void SetShutDownType(TShutDownType value) { shutDownType_ = value; }
  // Force and ForceIfHung are never both true: setting one true clears the
  // other.
  bool Force() const { return force_; }
  void SetForce(bool value);
  bool ForceIfHung() const { return forceIfHung_; }
  void SetForceIfHung(bool value);

  void ExitWindows();

  // The answer to the system's query: the handler's AcceptShutDown, or yes
  // (what the system answers itself) without a handler.
  bool QueryEndSession(bool logOff);

  const TPropList& Properties() const override { return ClassProperties(); }
  static const TPropList& ClassProperties();

private:
  platform::TZkSessionEnder& ender_;
  mutable std::mutex handlerLock_;
  TQueryEndSessionEvent onQueryEndSession_;
  TShutDownType shutDownType_ = TShutDownType::sdtLogOff;
  bool force_ = false;
  bool forceIfHung_ = false;
  // Last, so that it disconnects before the rest goes.
  std::unique_ptr<platform::TZkEndSessionWatch> watch_;
};

}  // namespace zk
