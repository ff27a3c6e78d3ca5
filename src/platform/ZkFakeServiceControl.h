#pragma once
// An in-memory service control manager for tests and for machines without
// one: services move through the pending states a test scripts, with the
// check points and wait hints it chooses, and every call is recorded.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/ZkServiceControl.h"

namespace zk::platform {

class TZkFakeServiceControl : public TZkServiceControl {
public:
  struct TService {
    TZkServiceEntry Entry;
    TZkServiceStatusRecord Status;
    TZkServiceConfigRecord Config;
    // The statuses the next start or control moves the service through;
    // without a script it goes straight to its new state.
    std::deque<TZkServiceStatusRecord> Script;
    // What the next status reads give, one each (the last one stays): the
    // running script, or set directly.
    std::deque<TZkServiceStatusRecord> Pending;
    // False: reading the configuration is refused.
    bool ConfigReadable = true;
    // False: opening the service is refused, so nothing of it can be read
    // or controlled; it is still listed.
    bool Openable = true;
  };

  // Names are compared without regard to the case of A to Z. Enumeration
  // lists the services in the order they were added.
  TService& AddService(const std::string& name, const std::string& displayName, std::uint32_t state,
                       std::uint32_t controlsAccepted = kAcceptStop | kAcceptPauseContinue);
  TService* Find(const std::string& name);

  // The manager of the named machine opens while it is reachable; this
  // machine ("") is reachable unless set otherwise.
  void SetReachable(const std::string& machine, bool reachable);

  // "OpenManager <machine>", "OpenService <name>", "Start <name>",
  // "Control <name> <code>", "QueryStatus <name>", "QueryConfig <name>",
  // "Enum <type> <state>", in call order.
  std::vector<std::string> Calls;

  std::unique_ptr<TZkServiceManager> OpenManager(const std::string& machine) override;

private:
  class TManager;
  class THandle;

  bool QueryStatus(TService& service, TZkServiceStatusRecord& status);
  bool Start(TService& service);
  bool Control(TService& service, TZkServiceControlCode control);
  // Begins the scripted transition, or goes straight to the final state.
  void Move(TService& service, std::uint32_t finalState);

  std::vector<std::unique_ptr<TService>> services_;
  std::vector<std::string> reachable_{""};
};

}  // namespace zk::platform
