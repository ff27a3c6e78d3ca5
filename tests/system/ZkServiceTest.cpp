#include "system/ZkService.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "platform/ZkFakeServiceControl.h"
#include "support/ZkRecordingSleeper.h"

namespace zk::test {
namespace {

using platform::TZkFakeServiceControl;
using platform::TZkServiceStatusRecord;
namespace p = platform;

TZkServiceStatusRecord Pending(std::uint32_t state, std::uint32_t checkPoint, std::uint32_t waitHint) {
  TZkServiceStatusRecord status;
  status.ServiceType = p::kServiceWin32OwnProcess;
  status.CurrentState = state;
  status.ControlsAccepted = p::kAcceptStop | p::kAcceptPauseContinue;
  status.CheckPoint = checkPoint;
  status.WaitHint = waitHint;
  return status;
}

int CountOf(const std::vector<std::string>& calls, const std::string& call) {
  return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

class ServiceFunctions : public ::testing::Test {
protected:
  TZkFakeServiceControl scm_;
  TRecordingSleeper sleeper_;
  TZkServiceContext context_{scm_, sleeper_};
};

TEST_F(ServiceFunctions, StopWithWaitHintZeroPollsWithoutPausesUntilStopped) {
  auto& service = scm_.AddService("Spooler", "Print Spooler", p::kServiceRunning);
  service.Script = {Pending(p::kServiceStopPending, 1, 0), Pending(p::kServiceStopPending, 2, 0),
                    Pending(p::kServiceStopped, 0, 0)};
  EXPECT_TRUE(ServiceStop(context_, "", "Spooler"));
  EXPECT_EQ(service.Status.CurrentState, p::kServiceStopped);
  EXPECT_EQ(sleeper_.Waits, (std::vector<int>{0, 0}));
  EXPECT_EQ(CountOf(scm_.Calls, "Control Spooler 1"), 1);
}

TEST_F(ServiceFunctions, WaitSleepsEachWaitHintAndEndsOnTheAwaitedState) {
  auto& service = scm_.AddService("cups", "CUPS", p::kServicePaused);
  service.Script = {Pending(p::kServiceContinuePending, 1, 250), Pending(p::kServiceContinuePending, 2, 500),
                    Pending(p::kServiceRunning, 0, 0)};
  EXPECT_TRUE(ServiceContinue(context_, "", "cups"));
  EXPECT_EQ(sleeper_.Waits, (std::vector<int>{250, 500}));
  EXPECT_EQ(CountOf(scm_.Calls, "Control cups 3"), 1);
}

TEST_F(ServiceFunctions, WaitEndsEarlyWithoutErrorWhenTheCheckPointGoesDownOrTheServiceSettlesElsewhere) {
  auto& sinking = scm_.AddService("sinking", "", p::kServiceStopped);
  sinking.Script = {Pending(p::kServiceStartPending, 3, 100), Pending(p::kServiceStartPending, 1, 100),
                    Pending(p::kServiceRunning, 0, 0)};
  EXPECT_TRUE(ServiceStart(context_, "", "sinking"));
  EXPECT_EQ(sinking.Status.CurrentState, p::kServiceStartPending);
  EXPECT_EQ(sleeper_.Waits, (std::vector<int>{100}));

  // It stopped while starting: waiting on would never end.
  sleeper_.Waits.clear();
  auto& failing = scm_.AddService("failing", "", p::kServiceStopped);
  failing.Script = {Pending(p::kServiceStartPending, 1, 10), Pending(p::kServiceStopped, 0, 0)};
  EXPECT_TRUE(ServiceStart(context_, "", "failing"));
  EXPECT_EQ(failing.Status.CurrentState, p::kServiceStopped);
  EXPECT_EQ(sleeper_.Waits, (std::vector<int>{10}));
}

// A service that stays pending for ever, its check point rising.
class TEndlessHandle : public p::TZkServiceHandle {
public:
  explicit TEndlessHandle(std::uint32_t waitHint) : waitHint_(waitHint) {}
  bool QueryStatus(TZkServiceStatusRecord& status) override {
    status = Pending(p::kServiceStartPending, ++checkPoint_, waitHint_);
    return true;
  }
  bool QueryConfig(p::TZkServiceConfigRecord&) override { return false; }
  bool Start() override { return false; }
  bool Control(p::TZkServiceControlCode) override { return false; }
  std::uint32_t checkPoint_ = 0;

private:
  std::uint32_t waitHint_;
};

TEST_F(ServiceFunctions, WaitForAServiceThatStaysPendingEndsAfterFiveMinutesOfWaitHints) {
  TEndlessHandle slow(120000);
  WaitServiceState(slow, p::kServiceRunning, sleeper_);
  EXPECT_EQ(sleeper_.Waits, (std::vector<int>{120000, 120000, 60000}));

  TRecordingSleeper busy;
  TEndlessHandle quick(0);
  WaitServiceState(quick, p::kServiceRunning, busy);
  EXPECT_EQ(busy.Total, 0);
  EXPECT_EQ(busy.Waits.size(), 300000u);
}

// Polled at short hints, a service waits only as long as it takes to get
// there, and never longer than its manager's limit for the pending state.
TEST_F(ServiceFunctions, ShortWaitHintsEndTheWaitSoonAndTheManagersLimitBoundsIt) {
  const auto polled = [](std::uint32_t state, std::uint32_t checkPoint, std::uint32_t limit) {
    TZkServiceStatusRecord status = Pending(state, checkPoint, 250);
    status.WaitLimit = limit;
    return status;
  };
  auto& quick = scm_.AddService("quick", "", p::kServiceStopped);
  quick.Script = {polled(p::kServiceStartPending, 1, 90000), Pending(p::kServiceRunning, 0, 0)};
  EXPECT_TRUE(ServiceStart(context_, "", "quick"));
  EXPECT_EQ(quick.Status.CurrentState, p::kServiceRunning);
  EXPECT_EQ(sleeper_.Waits, (std::vector<int>{250}));

  sleeper_.Waits.clear();
  auto& stuck = scm_.AddService("stuck", "", p::kServiceRunning);
  stuck.Script = {polled(p::kServiceStopPending, 1, 600)};  // the last status stays
  EXPECT_TRUE(ServiceStop(context_, "", "stuck"));
  EXPECT_EQ(stuck.Status.CurrentState, p::kServiceStopPending);
  EXPECT_EQ(sleeper_.Waits, (std::vector<int>{250, 250, 100}));
}

TEST_F(ServiceFunctions, AWaitLongerThanAnIntIsSleptInParts) {
  auto& slow = scm_.AddService("slow", "", p::kServiceStopped);
  TZkServiceStatusRecord status = Pending(p::kServiceStartPending, 1, 0xFFFFFFFF);
  status.WaitLimit = 0xFFFFFFFF;
  slow.Script = {status};
  EXPECT_TRUE(ServiceStart(context_, "", "slow"));
  EXPECT_EQ(sleeper_.Waits, (std::vector<int>{std::numeric_limits<int>::max(), std::numeric_limits<int>::max(), 1}));
}

TEST_F(ServiceFunctions, WaitForStateZeroOnlyReadsTheStatus) {
  TEndlessHandle handle(100);
  WaitServiceState(handle, 0, sleeper_);
  EXPECT_TRUE(sleeper_.Waits.empty());
  EXPECT_EQ(handle.checkPoint_, 1u);
}

TEST_F(ServiceFunctions, FailuresRaiseTheirMessagesWithTheSystemText) {
  scm_.AddService("Spooler", "Print Spooler", p::kServiceRunning);
  scm_.AddService("Stubborn", "", p::kServiceRunning, p::kAcceptStop);
  struct Case {
    const char* what;
    std::function<void()> call;
    const char* message;
  };
  const Case cases[] = {
      {"start running", [&] { ServiceStart(context_, "", "Spooler"); },
       "Startservice failed (An instance of the service is already running.) "},
      {"unknown service", [&] { ServiceStop(context_, "", "NoSuch"); },
       "NoSuch ServiseName failed (The specified service does not exist as an installed service.) "},
      {"unreachable machine", [&] { ServiceStop(context_, "far", "Spooler"); },
       "far ServerName failed (The RPC server is unavailable.) "},
      {"pause refused", [&] { ServicePause(context_, "", "Stubborn"); },
       "Service pause  failed (The requested control is not valid for this service.) "},
      {"query status", [&] { ServiceQueryStatus(scm_, "", "NoSuch"); },
       "NoSuch ServiseName failed (The specified service does not exist as an installed service.) "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      c.call();
      ADD_FAILURE() << "no error";
    } catch (const EZkServiceError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
  scm_.Find("Spooler")->ConfigReadable = false;
  try {
    ServiceQueryConfig(scm_, "", "Spooler");
    ADD_FAILURE() << "no error";
  } catch (const EZkServiceError& e) {
    EXPECT_STREQ(e.what(), "QueryServiceConfig failed (Access is denied.) ");
  }
}

class TCountingCursor : public TZkWaitCursor {
public:
  void Show() override { ++Shown; }
  void Restore() override { ++Restored; }
  int Shown = 0;
  int Restored = 0;
};

TEST_F(ServiceFunctions, TheWaitCursorIsRestoredAfterSuccessAndFailure) {
  TCountingCursor cursor;
  const TZkServiceContext context{scm_, sleeper_, &cursor};
  scm_.AddService("Spooler", "", p::kServiceRunning);
  ServiceStop(context, "", "Spooler");
  EXPECT_THROW(ServiceStop(context, "", "Spooler"), EZkServiceError);  // stopped now
  EXPECT_THROW(ServiceStart(context, "", "NoSuch"), EZkServiceError);
  EXPECT_EQ(cursor.Shown, 3);
  EXPECT_EQ(cursor.Restored, 3);
}

TEST(ServiceSets, MasksBecomeSetsAndUnknownBitsAreDropped) {
  EXPECT_EQ(ControlsAcceptedOf(p::kAcceptStop | p::kAcceptPowerEvent | 0x80),
            (TServiceCtrlsAccepteds{TServiceCtrlsAccepted::caAcceptStop, TServiceCtrlsAccepted::caAcceptPowerEvent}));
  EXPECT_EQ(ServiceTypesOf(0x110 | 0x1000),
            (TServiceTypes{TServiceTypex::stWin32OwnProcess, TServiceTypex::stInteractiveProcess}));
  EXPECT_EQ(ServiceTypesOf(0x0B), (TServiceTypes{TServiceTypex::stKernelDriver, TServiceTypex::stFileSystemDriver,
                                                 TServiceTypex::stRecognizerDriver}));
}

class ServiceList : public ServiceFunctions {
protected:
  ServiceList() {
    scm_.AddService("wuauserv", "Windows Update", p::kServiceRunning);
    scm_.AddService("Alerter", "zeta alerts", p::kServiceStopped);
    scm_.AddService("cups", "Common Unix Printing", p::kServiceRunning);
    scm_.AddService("beep", "", p::kServicePaused, p::kAcceptStop | p::kAcceptPowerEvent).Status.ServiceType =
        p::kServiceKernelDriver;
  }

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (int i = 0; i < ctrl_.Services().Count(); ++i) names.push_back(ctrl_.Items(i).ServiceName());
    return names;
  }
  int Enumerations() const {
    return static_cast<int>(std::count_if(scm_.Calls.begin(), scm_.Calls.end(),
                                          [](const std::string& c) { return c.rfind("Enum ", 0) == 0; }));
  }

  TZkServiceCtrl ctrl_{context_};
};

TEST_F(ServiceList, RefreshListsInTheManagersOrderAndSortingMovesTheItems) {
  EXPECT_EQ(ctrl_.Services().Count(), 0);  // nothing before the first refresh
  ctrl_.Refresh();
  EXPECT_EQ(Names(), (std::vector<std::string>{"wuauserv", "Alerter", "cups", "beep"}));
  EXPECT_EQ(ctrl_.Items(0).ServiceDisplayName(), "Windows Update");

  const TZkServiceItem* alerter = &ctrl_.Items(1);
  ctrl_.SetSorting(TServiceSorting::ssServiceName);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Alerter", "beep", "cups", "wuauserv"}));
  EXPECT_EQ(ctrl_.Items(0).ServiceDisplayName(), "zeta alerts");
  EXPECT_EQ(&ctrl_.Items(0), alerter);
  EXPECT_EQ(alerter->Index(), 0);
  ctrl_.SetSorting(TServiceSorting::ssDisplayName);
  EXPECT_EQ(Names(), (std::vector<std::string>{"beep", "cups", "wuauserv", "Alerter"}));
  EXPECT_EQ(Enumerations(), 1);

  ctrl_.SetSorting(TServiceSorting::ssDisplayName);
  EXPECT_EQ(Enumerations(), 1);
  ctrl_.SetSorting(TServiceSorting::ssNothingSort);
  EXPECT_EQ(Enumerations(), 2);
  EXPECT_EQ(Names(), (std::vector<std::string>{"wuauserv", "Alerter", "cups", "beep"}));
}

TEST_F(ServiceList, SettersRefreshOnlyOnChangeWithTheirFilters) {
  ctrl_.SetServiceState(TServiceState::ssActive);
  EXPECT_EQ(Names(), (std::vector<std::string>{"wuauserv", "cups", "beep"}));
  EXPECT_EQ(scm_.Calls.back(), "Enum 319 1");
  ctrl_.SetServiceState(TServiceState::ssActive);
  ctrl_.SetServiceType(TServiceType::stAll);
  EXPECT_EQ(Enumerations(), 1);
  ctrl_.SetServiceState(TServiceState::ssInactive);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Alerter"}));
  ctrl_.SetServiceState(TServiceState::ssAll);
  ctrl_.SetServiceType(TServiceType::stDriver);
  EXPECT_EQ(scm_.Calls.back(), "Enum 11 3");
  EXPECT_EQ(Names(), (std::vector<std::string>{"beep"}));
  ctrl_.SetServiceType(TServiceType::stWIN32);
  EXPECT_EQ(scm_.Calls.back(), "Enum 48 3");
  EXPECT_EQ(Names(), (std::vector<std::string>{"wuauserv", "Alerter", "cups"}));
}

TEST_F(ServiceList, AnUnreachableMachineLeavesTheListAsItWas) {
  ctrl_.Refresh();
  ctrl_.SetServerName("far");
  EXPECT_EQ(ctrl_.ServerName(), "far");
  EXPECT_EQ(Names(), (std::vector<std::string>{"wuauserv", "Alerter", "cups", "beep"}));
  EXPECT_EQ(scm_.Calls.back(), "OpenManager far");
  EXPECT_THROW(ctrl_.Items(0).Status().CurrentState(), EZkServiceError);
}

TEST_F(ServiceList, ItemsReadTheirStatusLiveAndControlTheirService) {
  ctrl_.Refresh();
  TZkServiceItem& beep = ctrl_.Items(3);
  EXPECT_EQ(beep.Status().ControlsAccepted(),
            (TServiceCtrlsAccepteds{TServiceCtrlsAccepted::caAcceptStop, TServiceCtrlsAccepted::caAcceptPowerEvent}));
  EXPECT_TRUE(beep.CanStop());
  EXPECT_FALSE(beep.CanPauseContinue());
  EXPECT_TRUE(beep.IsPaused());
  EXPECT_EQ(beep.DisplayName(), "TZkServiceItem");
  EXPECT_EQ(ctrl_.Items(0).DisplayName(), "Windows Update");

  TZkServiceItem& cups = ctrl_.Items(2);
  scm_.Find("cups")->Script = {Pending(p::kServiceStopPending, 1, 0), Pending(p::kServiceStopped, 0, 0)};
  EXPECT_TRUE(cups.Stop());
  EXPECT_TRUE(cups.IsStopped());
  scm_.Find("cups")->Script = {Pending(p::kServiceStartPending, 1, 0), Pending(p::kServiceRunning, 0, 0)};
  scm_.Find("cups")->Config.BinaryPathName = "/usr/sbin/cupsd -l";
  ASSERT_TRUE(cups.Start());
  EXPECT_EQ(cups.Config().BinaryPathName(), "/usr/sbin/cupsd -l");
  EXPECT_EQ(cups.Config().StartType(), TServiceStart::ssDemand);
  EXPECT_EQ(cups.Config().ErrorCtrl(), TServiceErrorCtrl::seNormal);

  // Nothing is cached: each read asks again.
  scm_.Find("cups")->Pending = {Pending(p::kServicePausePending, 1, 0), Pending(p::kServicePaused, 0, 0)};
  EXPECT_EQ(cups.Status().CurrentState(), TServiceCurrentState::csPausePending);
  EXPECT_EQ(cups.Status().CurrentState(), TServiceCurrentState::csPaused);
}

}  // namespace
}  // namespace zk::test
