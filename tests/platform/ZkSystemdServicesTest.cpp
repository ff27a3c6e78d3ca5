#include "platform/ZkSystemdServices.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/ZkSystemError.h"
#include "platform/ZkTestDaemons.h"
#include "support/ZkTempDir.h"
#include "support/ZkRecordingSleeper.h"
#include "system/ZkService.h"

namespace zk::test {
namespace {

namespace p = platform;

// The systemd backend against the mock of systemd_mock.py on a private bus.
class SystemdServices : public ::testing::Test {
protected:
  void SetUp() override {
    if (!HaveDbusMock()) GTEST_SKIP() << "needs /usr/bin/dbus-daemon and python3-dbusmock for /usr/bin/python3";
    bus_ = std::make_unique<TPrivateBus>();
    ASSERT_TRUE(bus_->Ready()) << "the private dbus-daemon did not start";
    mock_ = std::make_unique<TDbusMock>(*bus_, "org.freedesktop.systemd1", ZK_SYSTEMD_MOCK, dir_ / "calls.log");
    ASSERT_TRUE(mock_->Ready()) << "the systemd mock did not come up";
    const std::string address = bus_->Address();
    control_ = p::SystemdServiceControl([address] { return p::TZkDbusConnection::OpenAddress(address); });
    manager_ = control_->OpenManager("");
    ASSERT_TRUE(manager_) << p::LastSystemErrorText();
  }

  std::vector<std::string> Calls() const {
    return mock_->Calls({"ListUnitsByPatterns", "LoadUnit", "StartUnit", "StopUnit", "FreezeUnit", "ThawUnit"});
  }

  p::TZkServiceStatusRecord Status(p::TZkServiceHandle& handle) {
    p::TZkServiceStatusRecord status;
    EXPECT_TRUE(handle.QueryStatus(status)) << p::LastSystemErrorText();
    return status;
  }

  void CompleteJobs() {
    ASSERT_GE(sd_bus_call_method(mock_->Control(), "org.freedesktop.systemd1", "/org/freedesktop/systemd1",
                                 "org.freedesktop.DBus.Mock", "CompleteJobs", nullptr, nullptr, ""),
              0);
  }

  TempDir dir_;
  std::unique_ptr<TPrivateBus> bus_;
  std::unique_ptr<TDbusMock> mock_;
  std::unique_ptr<p::TZkServiceControl> control_;
  std::unique_ptr<p::TZkServiceManager> manager_;
};

TEST_F(SystemdServices, EnumeratesTheServiceUnitsThatExistByState) {
  std::vector<p::TZkServiceEntry> entries;
  ASSERT_TRUE(manager_->EnumServices(p::kServiceTypeAll, p::kServiceStateAll, entries));
  std::vector<std::string> names;
  for (const auto& e : entries) names.push_back(e.ServiceName + "|" + e.DisplayName);
  EXPECT_EQ(names, (std::vector<std::string>{"cups|CUPS Scheduler", "agent|Backup agent",
                                             "cron|Regular background program processing daemon"}));
  EXPECT_EQ(Calls(), (std::vector<std::string>{R"(ListUnitsByPatterns [] ["*.service"])"}));

  ASSERT_TRUE(manager_->EnumServices(p::kServiceTypeWin32, p::kServiceStateInactive, entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].ServiceName, "agent");
  ASSERT_TRUE(manager_->EnumServices(p::kServiceTypeAll, p::kServiceStateActive, entries));
  EXPECT_EQ(entries.size(), 2u);
  ASSERT_TRUE(manager_->EnumServices(p::kServiceTypeDriver, p::kServiceStateAll, entries));
  EXPECT_TRUE(entries.empty());
}

TEST_F(SystemdServices, MapsUnitPropertiesOntoStatusAndConfiguration) {
  auto cups = manager_->OpenService("cups");
  auto agent = manager_->OpenService("agent.service");
  auto cron = manager_->OpenService("cron");
  ASSERT_TRUE(cups && agent && cron);

  const auto running = Status(*cups);
  EXPECT_EQ(running.CurrentState, p::kServiceRunning);
  EXPECT_EQ(running.ServiceType, p::kServiceWin32OwnProcess);
  EXPECT_EQ(running.ControlsAccepted, p::kAcceptStop | p::kAcceptPauseContinue);
  EXPECT_EQ(running.Win32ExitCode, 0u);
  EXPECT_EQ(running.CheckPoint, 0u);
  const auto failed = Status(*agent);
  EXPECT_EQ(failed.CurrentState, p::kServiceStopped);
  EXPECT_EQ(failed.ControlsAccepted, p::kAcceptStop);
  EXPECT_EQ(failed.Win32ExitCode, p::kServiceSpecificError);
  EXPECT_EQ(failed.ServiceSpecificExitCode, 3u);
  EXPECT_EQ(Status(*cron).CurrentState, p::kServicePaused);

  p::TZkServiceConfigRecord config;
  ASSERT_TRUE(cups->QueryConfig(config));
  EXPECT_EQ(config.StartType, p::kServiceAutoStart);
  EXPECT_EQ(config.BinaryPathName, "/usr/sbin/cupsd -l");
  EXPECT_EQ(config.Dependencies, "cups.socket");
  EXPECT_EQ(config.ServiceStartName, "root");
  EXPECT_EQ(config.DisplayName, "CUPS Scheduler");
  EXPECT_EQ(config.LoadOrderGroup, "");
  ASSERT_TRUE(agent->QueryConfig(config));
  EXPECT_EQ(config.StartType, p::kServiceDisabled);
  EXPECT_EQ(config.BinaryPathName, "/opt/agent/run");
  EXPECT_EQ(config.Dependencies, "");
  EXPECT_EQ(config.ServiceStartName, "backup");
  ASSERT_TRUE(cron->QueryConfig(config));
  EXPECT_EQ(config.StartType, p::kServiceDemandStart);

  EXPECT_EQ(Calls(), (std::vector<std::string>{"LoadUnit \"cups.service\"", "LoadUnit \"agent.service\"",
                                               "LoadUnit \"cron.service\""}));
}

TEST_F(SystemdServices, ControlsSendTheirCallsAndPendingJobsCountCheckPointsUp) {
  auto agent = manager_->OpenService("agent");
  ASSERT_TRUE(agent);
  ASSERT_TRUE(agent->Start()) << p::LastSystemErrorText();
  auto status = Status(*agent);
  EXPECT_EQ(status.CurrentState, p::kServiceStartPending);
  EXPECT_EQ(status.CheckPoint, 1u);
  EXPECT_EQ(status.WaitHint, 250u);
  EXPECT_EQ(status.WaitLimit, 5000u);
  EXPECT_EQ(Status(*agent).CheckPoint, 2u);
  CompleteJobs();
  status = Status(*agent);
  EXPECT_EQ(status.CurrentState, p::kServiceRunning);
  EXPECT_EQ(status.CheckPoint, 0u);
  EXPECT_EQ(status.WaitHint, 0u);
  EXPECT_EQ(status.WaitLimit, 0u);
  EXPECT_FALSE(agent->Start());
  EXPECT_EQ(p::LastSystemErrorText(), "Unit agent.service is already active.");
  ASSERT_TRUE(agent->Control(p::TZkServiceControlCode::Stop));
  status = Status(*agent);
  EXPECT_EQ(status.CurrentState, p::kServiceStopPending);
  EXPECT_EQ(status.WaitHint, 250u);
  EXPECT_EQ(status.WaitLimit, 5000u);
  CompleteJobs();
  EXPECT_EQ(Status(*agent).CurrentState, p::kServiceStopped);
  EXPECT_FALSE(agent->Control(p::TZkServiceControlCode::Pause));
  EXPECT_EQ(p::LastSystemErrorText(), "Unit agent.service is not active.");

  auto cups = manager_->OpenService("cups");
  ASSERT_TRUE(cups);
  ASSERT_TRUE(cups->Control(p::TZkServiceControlCode::Pause));
  EXPECT_EQ(Status(*cups).CurrentState, p::kServicePausePending);
  CompleteJobs();
  EXPECT_EQ(Status(*cups).CurrentState, p::kServicePaused);
  ASSERT_TRUE(cups->Control(p::TZkServiceControlCode::Continue));
  status = Status(*cups);
  EXPECT_EQ(status.CurrentState, p::kServiceContinuePending);
  EXPECT_EQ(status.WaitHint, 250u);
  EXPECT_EQ(status.WaitLimit, 90000u);

  EXPECT_EQ(Calls(), (std::vector<std::string>{
                         "LoadUnit \"agent.service\"", "StartUnit \"agent.service\" \"replace\"",
                         "StopUnit \"agent.service\" \"replace\"", "FreezeUnit \"agent.service\"",
                         "LoadUnit \"cups.service\"", "FreezeUnit \"cups.service\"", "ThawUnit \"cups.service\""}));
}

// Records the waits and lets the mock finish its jobs at the first one.
class TSettlingSleeper : public TRecordingSleeper {
public:
  explicit TSettlingSleeper(std::function<void()> settle) : settle_(std::move(settle)) {}
  void Sleep(int milliseconds) override {
    TRecordingSleeper::Sleep(milliseconds);
    if (Waits.size() == 1) settle_();
  }

private:
  std::function<void()> settle_;
};

TEST_F(SystemdServices, AWaitPollsThePendingUnitAndEndsAtItsTimeout) {
  TSettlingSleeper settling([this] { CompleteJobs(); });
  EXPECT_TRUE(ServiceStart({*control_, settling}, "", "agent"));
  EXPECT_EQ(settling.Waits, (std::vector<int>{250}));
  auto agent = manager_->OpenService("agent");
  ASSERT_TRUE(agent);
  EXPECT_EQ(Status(*agent).CurrentState, p::kServiceRunning);

  // The stop job never finishes: the wait ends at the unit's 5 s stop timeout.
  TRecordingSleeper stuck;
  EXPECT_TRUE(ServiceStop({*control_, stuck}, "", "agent"));
  EXPECT_EQ(Status(*agent).CurrentState, p::kServiceStopPending);
  EXPECT_EQ(stuck.Total, 5000);
  EXPECT_EQ(stuck.Waits, std::vector<int>(20, 250));
}

TEST_F(SystemdServices, UnknownServicesAndOtherMachinesFailWithTheirTexts) {
  EXPECT_FALSE(manager_->OpenService("nosuch"));
  EXPECT_EQ(p::LastSystemErrorText(), "Unit nosuch.service not found.");
  EXPECT_FALSE(control_->OpenManager("far"));
  EXPECT_FALSE(p::LastSystemErrorText().empty());

  TRecordingSleeper sleeper;
  const TZkServiceContext context{*control_, sleeper};
  try {
    ServiceStop(context, "", "nosuch");
    ADD_FAILURE() << "no error";
  } catch (const EZkServiceError& e) {
    EXPECT_STREQ(e.what(), "nosuch ServiseName failed (Unit nosuch.service not found.) ");
  }
}

}  // namespace
}  // namespace zk::test
