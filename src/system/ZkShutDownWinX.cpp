#include "system/ZkShutDownWinX.h"

#include <array>

#include "platform/ZkSystemError.h"

namespace zk {
namespace {

// The flag of each kind, in element order.
constexpr std::array<std::uint32_t, 4> kKindFlags = {platform::kEndLogOff, platform::kEndPowerOff,
                                                     platform::kEndReboot, platform::kEndShutDown};

}  // namespace

std::uint32_t ShutDownFlags(TShutDownType type, bool force, bool forceIfHung) {
  std::uint32_t flags = kKindFlags[static_cast<std::size_t>(type)];
  if (forceIfHung)
    flags |= platform::kEndForceIfHung;
  else if (force)
    flags |= platform::kEndForce;
  return flags;
}

std::string SystemErrorText() {
  return platform::LastSystemErrorText();
}

void ShutDownWindows(platform::TZkSessionEnder& ender, TShutDownType type, bool force, bool forceIfHung) {
  const std::uint32_t flags = ShutDownFlags(type, force, forceIfHung);
  switch (ender.EnableShutdownPrivilege(flags)) {
    case platform::TZkPrivilegeResult::Enabled:
      break;
    case platform::TZkPrivilegeResult::Failed:
      throw EZkShutDownError(SystemErrorText());
    case platform::TZkPrivilegeResult::NotGranted:
      throw EZkShutDownError("Hibás hatókör beállítás.");
  }
  ender.EndSession(flags);
}

void WindowsShutDown(platform::TZkSessionEnder& ender, bool force, bool forceIfHung) {
  ShutDownWindows(ender, TShutDownType::sdtShutDown, force, forceIfHung);
}

void WindowsReboot(platform::TZkSessionEnder& ender, bool force, bool forceIfHung) {
  ShutDownWindows(ender, TShutDownType::sdtReboot, force, forceIfHung);
}

TZkShutDownWin::TZkShutDownWin(platform::TZkSessionEnder& ender)
    : ender_(ender), watch_(ender.WatchEndOfSession([this](bool logOff) { return QueryEndSession(logOff); })) {}

TZkShutDownWin::TQueryEndSessionEvent TZkShutDownWin::OnQueryEndSession() const {
  const std::lock_guard<std::mutex> lock(handlerLock_);
  return onQueryEndSession_;
}

void TZkShutDownWin::SetOnQueryEndSession(TQueryEndSessionEvent handler) {
  const std::lock_guard<std::mutex> lock(handlerLock_);
  onQueryEndSession_ = std::move(handler);
}

void TZkShutDownWin::SetForce(bool value) {
  force_ = value;
  if (value) forceIfHung_ = false;
}

void TZkShutDownWin::SetForceIfHung(bool value) {
  forceIfHung_ = value;
  if (value) force_ = false;
}

void TZkShutDownWin::ExitWindows() {
  ShutDownWindows(ender_, shutDownType_, force_, forceIfHung_);
}

bool TZkShutDownWin::QueryEndSession(bool logOff) {
  const TQueryEndSessionEvent handler = OnQueryEndSession();
  if (!handler) return true;
  bool accept = true;
  handler(*this, logOff, accept);
  return accept;
}

const TPropList& TZkShutDownWin::ClassProperties() {
  using T = TZkShutDownWin;
  static const TPropList list =
      TPropTable<T>(TZkPersistent::ClassProperties())
          .Other("OnQueryEndSession")
          .Enumeration("ShutDownType", {"sdtLogOff", "sdtPowerOff", "sdtReboot", "sdtShutDown"}, &T::ShutDownType,
                       &T::SetShutDownType, TShutDownType::sdtLogOff)
          .Boolean("Force", &T::Force, &T::SetForce)
          .Boolean("ForceIfHung", &T::ForceIfHung, &T::SetForceIfHung)
          .List();
  return list;
}

}  // namespace zk
