#pragma once
// A session ender that records what it is asked instead of ending the
// session, with a scripted answer to the privilege step.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ZkSessionEnd.h"

namespace zk::platform {

class TZkFakeSessionEnder : public TZkSessionEnder {
public:
  TZkPrivilegeResult Privilege = TZkPrivilegeResult::Enabled;
  // The system text a failed privilege step leaves.
  std::string PrivilegeErrorText = "A required privilege is not held by the client.";

  std::vector<std::uint32_t> PrivilegeFlags;
  std::vector<std::uint32_t> EndedSessions;
  // The query connected through WatchEndOfSession while its watch lives.
  TZkEndSessionQuery Query;

  TZkPrivilegeResult EnableShutdownPrivilege(std::uint32_t flags) override;
  void EndSession(std::uint32_t flags) override;
  std::unique_ptr<TZkEndSessionWatch> WatchEndOfSession(TZkEndSessionQuery query) override;
};

}  // namespace zk::platform
