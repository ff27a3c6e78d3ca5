#include "platform/ZkLogindSession.h"

#include <fcntl.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "platform/ZkDbusDetail.h"
#include "platform/ZkFileHandle.h"
#include "platform/ZkSystemError.h"

namespace zk::platform {
namespace {

using detail::TBusError;
using detail::TBusMessage;

constexpr const char* kDestination = "org.freedesktop.login1";
constexpr const char* kManagerPath = "/org/freedesktop/login1";
constexpr const char* kManagerInterface = "org.freedesktop.login1.Manager";
constexpr const char* kSessionInterface = "org.freedesktop.login1.Session";
// How often the watch looks at its stop request.
constexpr std::uint64_t kWatchPollMicroseconds = 100000;

template <class... Args>
TBusMessage Call(sd_bus* bus, const char* path, const char* interface, const char* member, const char* types,
                 Args... args) {
  TBusError error;
  sd_bus_message* reply = nullptr;
  const int result = sd_bus_call_method(bus, kDestination, path, interface, member, error.Get(), &reply, types, args...);
  if (result < 0) {
    error.Report(result);
    return nullptr;
  }
  return TBusMessage(reply);
}

class TSlot {
public:
  TSlot() = default;
  ~TSlot() { sd_bus_slot_unref(slot_); }
  TSlot(const TSlot&) = delete;
  TSlot& operator=(const TSlot&) = delete;
  sd_bus_slot** Out() { return &slot_; }

private:
  sd_bus_slot* slot_ = nullptr;
};

class TLogindWatch final : public TZkEndSessionWatch {
public:
  TLogindWatch(TZkDbusConnection bus, TZkEndSessionQuery query) : bus_(std::move(bus)), query_(std::move(query)) {}

  ~TLogindWatch() override {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  TLogindWatch(const TLogindWatch&) = delete;
  TLogindWatch& operator=(const TLogindWatch&) = delete;

  // Takes the delay lock and subscribes to the signal; false with the
  // reason reported when either fails.
  bool Begin() {
    const int result = sd_bus_match_signal(bus_.Get(), slot_.Out(), kDestination, kManagerPath, kManagerInterface,
                                     "PrepareForShutdown", &TLogindWatch::OnSignal, this);
    if (result < 0) {
      SetLastSystemErrno(-result);
      return false;
    }
    if (!TakeLock()) return false;
    thread_ = std::thread([this] { Run(); });
    return true;
  }

private:
  bool TakeLock() {
    const TBusMessage reply = Call(bus_.Get(), kManagerPath, kManagerInterface, "Inhibit", "ssss", "shutdown",
                                   "Backup", "A backup may be running", "delay");
    int fd = -1;
    if (!reply) return false;
    if (sd_bus_message_read(reply.get(), "h", &fd) < 0) {
      SetLastSystemErrno(EBADMSG);
      return false;
    }
    // The message owns the descriptor it carries.
    lock_ = FileHandle(fcntl(fd, F_DUPFD_CLOEXEC, 3));
    return lock_.IsOpen();
  }

  static int OnSignal(sd_bus_message* message, void* data, sd_bus_error*) {
    auto* self = static_cast<TLogindWatch*>(data);
    int starting = 0;
    if (sd_bus_message_read(message, "b", &starting) < 0) return 0;
    if (starting != 0) {
      self->query_(false);
      self->lock_.Close();
    } else if (!self->lock_.IsOpen()) {
      // The shutdown was cancelled: be asked again next time.
      self->TakeLock();
    }
    return 0;
  }

  void Run() {
    while (!stop_) {
      int result = 0;
      while (!stop_ && (result = sd_bus_process(bus_.Get(), nullptr)) > 0) {
      }
      if (result < 0 || stop_) break;
      if (sd_bus_wait(bus_.Get(), kWatchPollMicroseconds) < 0) break;
    }
  }

  TZkDbusConnection bus_;
  TZkEndSessionQuery query_;
  TSlot slot_;
  FileHandle lock_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class TLogindSessionEnder final : public TZkSessionEnder {
public:
  explicit TLogindSessionEnder(std::function<TZkDbusConnection()> connect) : connect_(std::move(connect)) {}

  TZkPrivilegeResult EnableShutdownPrivilege(std::uint32_t flags) override {
    const std::uint32_t kind = flags & kEndKindMask;
    if (kind == kEndLogOff) return TZkPrivilegeResult::Enabled;
    TZkDbusConnection bus = connect_();
    if (!bus.IsOpen()) return TZkPrivilegeResult::Failed;
    const char* question = (kind & kEndReboot) != 0 ? "CanReboot" : "CanPowerOff";
    const TBusMessage reply = Call(bus.Get(), kManagerPath, kManagerInterface, question, "");
    if (!reply) return TZkPrivilegeResult::Failed;
    const char* answer = nullptr;
    if (sd_bus_message_read(reply.get(), "s", &answer) < 0) {
      SetLastSystemErrno(EBADMSG);
      return TZkPrivilegeResult::Failed;
    }
    return std::string_view(answer) == "yes" ? TZkPrivilegeResult::Enabled : TZkPrivilegeResult::NotGranted;
  }

  void EndSession(std::uint32_t flags) override {
    TZkDbusConnection bus = connect_();
    if (!bus.IsOpen()) return;
    const std::uint32_t kind = flags & kEndKindMask;
    if (kind == kEndLogOff) {
      const TBusMessage session = Call(bus.Get(), kManagerPath, kManagerInterface, "GetSession", "s", "auto");
      const char* path = nullptr;
      if (session && sd_bus_message_read(session.get(), "o", &path) > 0)
        Call(bus.Get(), path, kSessionInterface, "Terminate", "");
      return;
    }
    const char* method = (kind & kEndReboot) != 0 ? "Reboot" : "PowerOff";
    Call(bus.Get(), kManagerPath, kManagerInterface, method, "b", 0);
  }

  std::unique_ptr<TZkEndSessionWatch> WatchEndOfSession(TZkEndSessionQuery query) override {
    TZkDbusConnection bus = connect_();
    if (!bus.IsOpen()) return nullptr;
    auto watch = std::make_unique<TLogindWatch>(std::move(bus), std::move(query));
    if (!watch->Begin()) return nullptr;
    return watch;
  }

private:
  std::function<TZkDbusConnection()> connect_;
};

}  // namespace

std::unique_ptr<TZkSessionEnder> LogindSessionEnder(std::function<TZkDbusConnection()> connect) {
  return std::make_unique<TLogindSessionEnder>(std::move(connect));
}

}  // namespace zk::platform
