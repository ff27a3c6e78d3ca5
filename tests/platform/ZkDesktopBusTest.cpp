#include "platform/ZkDesktopBus.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/ZkThreadSave.h"
#include "platform/ZkFakePrograms.h"
#include "platform/ZkFakeServiceControl.h"
#include "platform/ZkLogindSession.h"
#include "platform/ZkSystemError.h"
#include "platform/ZkTestDaemons.h"
#include "support/ZkRecordingSleeper.h"
#include "support/ZkTempDir.h"

namespace zk::test {
namespace {

namespace p = platform;

struct TInhibitor {
  std::string What, Who, Why, Mode;
  bool operator==(const TInhibitor&) const = default;
};

// The backends on a private bus of their own.
class DesktopBus : public ::testing::Test {
protected:
  void SetUp() override {
    if (!HaveDbusMock()) GTEST_SKIP() << "needs /usr/bin/dbus-daemon and python3-dbusmock for /usr/bin/python3";
    bus_ = std::make_unique<TPrivateBus>();
    ASSERT_TRUE(bus_->Ready()) << "the private dbus-daemon did not start";
  }

  std::function<p::TZkDbusConnection()> Connect() const {
    return [address = bus_->Address()] { return p::TZkDbusConnection::OpenAddress(address); };
  }

  void StartMock(const std::string& busName, const std::string& templateName, const std::string& parameters = "{}") {
    mock_ = std::make_unique<TDbusMock>(*bus_, busName, templateName, dir_ / "calls.log", parameters);
    ASSERT_TRUE(mock_->Ready()) << "the mock of " << busName << " did not come up";
  }

  // The inhibitors logind holds, as it lists them.
  std::vector<TInhibitor> Inhibitors() const {
    std::vector<TInhibitor> list;
    sd_bus_message* reply = nullptr;
    if (sd_bus_call_method(mock_->Control(), "org.freedesktop.login1", "/org/freedesktop/login1",
                           "org.freedesktop.login1.Manager", "ListInhibitors", nullptr, &reply, "") < 0) {
      ADD_FAILURE() << "ListInhibitors failed";
      return list;
    }
    const char *what = nullptr, *who = nullptr, *why = nullptr, *mode = nullptr;
    std::uint32_t uid = 0, pid = 0;
    sd_bus_message_enter_container(reply, 'a', "(ssssuu)");
    while (sd_bus_message_read(reply, "(ssssuu)", &what, &who, &why, &mode, &uid, &pid) > 0)
      list.push_back({what, who, why, mode});
    sd_bus_message_unref(reply);
    return list;
  }

  // logind lets go of a lock once it sees the descriptor closed.
  bool InhibitorsGone() const {
    for (int i = 0; i < 100; ++i) {
      if (Inhibitors().empty()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  TempDir dir_;
  std::unique_ptr<TPrivateBus> bus_;
  std::unique_ptr<TDbusMock> mock_;
};

TEST_F(DesktopBus, TheSleepLockIsLogindsBlockOnSleepAndIdleUntilLetGo) {
  const auto inhibitor = p::LogindSleepInhibitor(Connect());
  EXPECT_EQ(inhibitor->Inhibit("Mentés fut: Napi"), nullptr);
  EXPECT_NE(p::LastSystemErrorText().find("org.freedesktop.login1"), std::string::npos) << p::LastSystemErrorText();

  StartMock("org.freedesktop.login1", "logind");
  std::unique_ptr<p::TZkSleepLock> lock = inhibitor->Inhibit("Mentés fut: Napi");
  ASSERT_NE(lock, nullptr) << p::LastSystemErrorText();
  EXPECT_EQ(Inhibitors(), (std::vector<TInhibitor>{{"sleep:idle", "Backup", "Mentés fut: Napi", "block"}}));
  lock.reset();
  EXPECT_TRUE(InhibitorsGone());
}

// Ends the session through logind, noting first how many locks logind
// still held.
class TCountingEnder final : public p::TZkSessionEnder {
public:
  TCountingEnder(p::TZkSessionEnder& logind, std::function<std::size_t()> count)
      : logind_(logind), count_(std::move(count)) {}
  p::TZkPrivilegeResult EnableShutdownPrivilege(std::uint32_t flags) override {
    return logind_.EnableShutdownPrivilege(flags);
  }
  void EndSession(std::uint32_t flags) override {
    HeldAtEnd.push_back(count_());
    logind_.EndSession(flags);
  }
  std::unique_ptr<p::TZkEndSessionWatch> WatchEndOfSession(p::TZkEndSessionQuery query) override {
    return logind_.WatchEndOfSession(std::move(query));
  }
  std::vector<std::size_t> HeldAtEnd;

private:
  p::TZkSessionEnder& logind_;
  std::function<std::size_t()> count_;
};

TEST_F(DesktopBus, ARunLetsGoOfItsSleepLockBeforeItsShutdownAction) {
  StartMock("org.freedesktop.login1", "logind");
  const auto inhibitor = p::LogindSleepInhibitor(Connect());
  const auto logind = p::LogindSessionEnder(Connect());
  // The lock is let go by closing a descriptor: logind may take a moment.
  TCountingEnder ender(*logind, [this] { return InhibitorsGone() ? 0u : Inhibitors().size(); });
  TRecordingSleeper sleeper;
  p::TZkFakeServiceControl services;
  p::TZkFakePrograms programs;
  const TZkActionPlatform actions{sleeper, services, ender, programs, inhibitor.get()};

  dir_.Write("src/a.txt", "alpha");
  TZkThreadSaveTasks jobs;
  TZkThreadSaveTask& job = jobs.Add();
  job.Name = "Napi";
  job.AddFiles().Add().Name = dir_ / "src/";
  job.DefineOutput().OutputFolder = dir_ / "out";
  job.EndFuncList().Add().SetName("Shutdown");

  TZkThreadSave engine;
  engine.Throttle = false;
  engine.SetActionPlatform(actions);
  engine.HistoryFilename = dir_ / "Backup.Ini";
  std::vector<TInhibitor> whilePacking;
  std::vector<std::string> errors;
  engine.OnBeforeSave = [&](TZkThreadSave&, TZkThreadActiveTask&) { whilePacking = Inhibitors(); };
  engine.OnErrorEvent = [&](TZkThreadSave&, const std::string& line) { errors.push_back(line); };
  std::promise<void> ended;
  engine.OnAfterBackup = [](TZkThreadSave& sender, TZkThreadActiveTask&) {
    sender.Stop();
    sender.Terminate();
  };
  engine.OnTerminate = [&ended](TZkCustomThread&) { ended.set_value(); };
  engine.SetSaving(jobs);
  engine.Saving().Items(0).StartNow();
  engine.Start();
  ASSERT_EQ(ended.get_future().wait_for(std::chrono::seconds(60)), std::future_status::ready);

  EXPECT_EQ(whilePacking, (std::vector<TInhibitor>{{"sleep:idle", "Backup", "Mentés fut: Napi", "block"}}));
  EXPECT_EQ(ender.HeldAtEnd, std::vector<std::size_t>{0});
  EXPECT_EQ(mock_->Calls({"PowerOff"}), std::vector<std::string>{"PowerOff False"});
  EXPECT_TRUE(errors.empty()) << errors[0];
}

TEST_F(DesktopBus, TheSchedulerUnitIsFoundEnabledAndStartedThroughTheUserManager) {
  const TempDir units;
  const auto scheduler = p::SystemdUserScheduler(Connect(), "backup-cli.service", {units / "none", units.Path().string()});
  // Without a manager on the bus, the unit file tells.
  EXPECT_FALSE(scheduler->Installed());
  units.Write("backup-cli.service", "[Service]\n");
  EXPECT_TRUE(scheduler->Installed());
  EXPECT_FALSE(scheduler->Running());
  EXPECT_FALSE(scheduler->EnableAndStart());

  StartMock("org.freedesktop.systemd1", ZK_SYSTEMD_USER_MOCK, R"({"units": ["backup-cli.service"]})");
  const auto known = p::SystemdUserScheduler(Connect(), "backup-cli.service", {});
  EXPECT_TRUE(known->Installed());
  EXPECT_FALSE(known->Running());
  ASSERT_TRUE(known->EnableAndStart()) << p::LastSystemErrorText();
  EXPECT_TRUE(known->Running());
  EXPECT_EQ(mock_->Calls({"EnableUnitFiles", "Reload", "StartUnit"}),
            (std::vector<std::string>{"EnableUnitFiles [\"backup-cli.service\"] False False", "Reload",
                                      "StartUnit \"backup-cli.service\" \"replace\""}));
  EXPECT_FALSE(p::SystemdUserScheduler(Connect(), "other.service", {})->Installed());
}

}  // namespace
}  // namespace zk::test
