#pragma once
// A connection to a D-Bus bus, closed when it goes away. The systemd and
// logind backends take one from a connect function, so that tests hand them
// a private bus of their own.

#include <string>

struct sd_bus;

namespace zk::platform {

class TZkDbusConnection {
public:
  TZkDbusConnection() = default;
  ~TZkDbusConnection();
  TZkDbusConnection(TZkDbusConnection&& other) noexcept;
  TZkDbusConnection& operator=(TZkDbusConnection&& other) noexcept;
  TZkDbusConnection(const TZkDbusConnection&) = delete;
  TZkDbusConnection& operator=(const TZkDbusConnection&) = delete;

  // The bus at the address ("unix:path=..."). Not open on failure, with the
  // reason in LastSystemErrorText.
  static TZkDbusConnection OpenAddress(const std::string& address);
  // The machine's system bus. Defined only in the zkplatform_system library,
  // which the programs link and the test programs do not: nothing a test
  // builds can reach the real service manager or end the real session.
  static TZkDbusConnection OpenSystemBus();
  // The user's session bus, for the desktop's services and the user's own
  // service manager; in zkplatform_system too.
  static TZkDbusConnection OpenSessionBus();

  bool IsOpen() const { return bus_ != nullptr; }
  sd_bus* Get() const { return bus_; }

private:
  explicit TZkDbusConnection(sd_bus* bus) : bus_(bus) {}
  sd_bus* bus_ = nullptr;
};

}  // namespace zk::platform
