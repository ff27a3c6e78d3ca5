#include "platform/ZkLogindSession.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/ZkSystemError.h"
#include "platform/ZkTestDaemons.h"
#include "support/ZkTempDir.h"
#include "system/ZkShutDownWinX.h"

namespace zk::test {
namespace {

namespace p = platform;

// The logind backend against python3-dbusmock's logind template on a
// private bus.
class LogindSession : public ::testing::Test {
protected:
  void SetUp() override {
    if (!HaveDbusMock()) GTEST_SKIP() << "needs /usr/bin/dbus-daemon and python3-dbusmock for /usr/bin/python3";
    bus_ = std::make_unique<TPrivateBus>();
    ASSERT_TRUE(bus_->Ready()) << "the private dbus-daemon did not start";
    const std::string address = bus_->Address();
    ender_ = p::LogindSessionEnder([address] { return p::TZkDbusConnection::OpenAddress(address); });
  }

  void StartMock(const std::string& parameters = "{}") {
    mock_ = std::make_unique<TDbusMock>(*bus_, "org.freedesktop.login1", "logind", dir_ / "calls.log", parameters);
    ASSERT_TRUE(mock_->Ready()) << "the logind mock did not come up";
  }

  std::vector<std::string> Calls() const {
    return mock_->Calls({"PowerOff", "Reboot", "CanPowerOff", "CanReboot", "GetSession", "Terminate"});
  }

  int Inhibitors() {
    sd_bus_message* reply = nullptr;
    if (sd_bus_call_method(mock_->Control(), "org.freedesktop.login1", "/org/freedesktop/login1",
                           "org.freedesktop.login1.Manager", "ListInhibitors", nullptr, &reply, "") < 0)
      return -1;
    int count = 0;
    const char* what = nullptr;
    const char* who = nullptr;
    const char* why = nullptr;
    const char* mode = nullptr;
    std::uint32_t uid = 0;
    std::uint32_t pid = 0;
    sd_bus_message_enter_container(reply, 'a', "(ssssuu)");
    while (sd_bus_message_read(reply, "(ssssuu)", &what, &who, &why, &mode, &uid, &pid) > 0) {
      EXPECT_STREQ(what, "shutdown");
      EXPECT_STREQ(mode, "delay");
      ++count;
    }
    sd_bus_message_unref(reply);
    return count;
  }

  TempDir dir_;
  std::unique_ptr<TPrivateBus> bus_;
  std::unique_ptr<TDbusMock> mock_;
  std::unique_ptr<p::TZkSessionEnder> ender_;
};

TEST_F(LogindSession, EachKindOfSessionEndCallsItsMethodAfterItsPrivilegeQuestion) {
  StartMock();
  ASSERT_GE(sd_bus_call_method(mock_->Control(), "org.freedesktop.login1", "/org/freedesktop/login1",
                               "org.freedesktop.DBus.Mock", "AddSession", nullptr, nullptr, "ssusb", "auto", "seat0",
                               1000, "operator", 1),
            0);
  WindowsShutDown(*ender_, true, false);
  WindowsReboot(*ender_, true, false);
  ShutDownWindows(*ender_, TShutDownType::sdtPowerOff, false, false);
  ShutDownWindows(*ender_, TShutDownType::sdtLogOff, false, false);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"CanPowerOff", "PowerOff False", "CanReboot", "Reboot False",
                                               "CanPowerOff", "PowerOff False", "GetSession \"auto\"",
                                               "Terminate"}));
}

TEST_F(LogindSession, AnythingButYesRefusesTheRightAndTheSessionStays) {
  StartMock(R"({"CanPowerOff": "challenge", "CanReboot": "no"})");
  for (const auto type : {TShutDownType::sdtShutDown, TShutDownType::sdtReboot}) {
    try {
      ShutDownWindows(*ender_, type, true, false);
      ADD_FAILURE() << "no error";
    } catch (const EZkShutDownError& e) {
      EXPECT_STREQ(e.what(), "Hibás hatókör beállítás.");
    }
  }
  EXPECT_EQ(Calls(), (std::vector<std::string>{"CanPowerOff", "CanReboot"}));
}

TEST_F(LogindSession, WithoutLogindThePrivilegeStepFailsWithTheBusText) {
  try {
    WindowsShutDown(*ender_, true, false);
    ADD_FAILURE() << "no error";
  } catch (const EZkShutDownError& e) {
    EXPECT_NE(std::string(e.what()).find("org.freedesktop.login1"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(ender_->WatchEndOfSession([](bool) { return true; }));
}

TEST_F(LogindSession, PrepareForShutdownAsksTheQueryAndLetsTheDelayLockGo) {
  StartMock();
  std::atomic<int> asked{0};
  std::atomic<bool> wasLogOff{true};
  auto component = std::make_unique<TZkShutDownWin>(*ender_);
  component->SetOnQueryEndSession([&](TZkShutDownWin&, bool logOff, bool&) {
    wasLogOff = logOff;
    ++asked;
  });
  EXPECT_EQ(Inhibitors(), 1);
  ASSERT_GE(sd_bus_call_method(mock_->Control(), "org.freedesktop.login1", "/org/freedesktop/login1",
                               "org.freedesktop.DBus.Mock", "EmitSignal", nullptr, nullptr, "sssav",
                               "org.freedesktop.login1.Manager", "PrepareForShutdown", "b", 1, "b", 1),
            0);
  for (int i = 0; i < 100 && (asked == 0 || Inhibitors() != 0); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(asked, 1);
  EXPECT_FALSE(wasLogOff);
  EXPECT_EQ(Inhibitors(), 0);
  component.reset();
}

}  // namespace
}  // namespace zk::test
