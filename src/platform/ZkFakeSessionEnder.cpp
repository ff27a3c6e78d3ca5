#include "platform/ZkFakeSessionEnder.h"

#include <utility>

#include "platform/ZkSystemError.h"

namespace zk::platform {
namespace {

class TFakeWatch final : public TZkEndSessionWatch {
public:
  explicit TFakeWatch(TZkEndSessionQuery& slot) : slot_(slot) {}
  ~TFakeWatch() override { slot_ = nullptr; }
  TFakeWatch(const TFakeWatch&) = delete;
  TFakeWatch& operator=(const TFakeWatch&) = delete;

private:
  TZkEndSessionQuery& slot_;
};

}  // namespace

TZkPrivilegeResult TZkFakeSessionEnder::EnableShutdownPrivilege(std::uint32_t flags) {
  PrivilegeFlags.push_back(flags);
  if (Privilege == TZkPrivilegeResult::Failed) SetLastSystemError(PrivilegeErrorText);
  return Privilege;
}

void TZkFakeSessionEnder::EndSession(std::uint32_t flags) {
  EndedSessions.push_back(flags);
}

std::unique_ptr<TZkEndSessionWatch> TZkFakeSessionEnder::WatchEndOfSession(TZkEndSessionQuery query) {
  Query = std::move(query);
  return std::make_unique<TFakeWatch>(Query);
}

}  // namespace zk::platform
