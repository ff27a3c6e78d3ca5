#include "system/ZkShutDownWinX.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/ZkFakeSessionEnder.h"

namespace zk::test {
namespace {

using platform::TZkFakeSessionEnder;
using platform::TZkPrivilegeResult;

TEST(ShutDownWindows, AsksForTheFlagsOfTheKindAndOptions) {
  struct Case {
    TShutDownType type;
    bool force;
    bool forceIfHung;
    std::uint32_t flags;
  };
  const Case cases[] = {
      {TShutDownType::sdtShutDown, true, false, 0x05}, {TShutDownType::sdtReboot, true, false, 0x06},
      {TShutDownType::sdtPowerOff, false, false, 0x08}, {TShutDownType::sdtLogOff, false, false, 0x00},
      {TShutDownType::sdtPowerOff, true, true, 0x18},   {TShutDownType::sdtReboot, false, true, 0x12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.type));
    TZkFakeSessionEnder ender;
    ShutDownWindows(ender, c.type, c.force, c.forceIfHung);
    EXPECT_EQ(ender.PrivilegeFlags, (std::vector<std::uint32_t>{c.flags}));
    EXPECT_EQ(ender.EndedSessions, (std::vector<std::uint32_t>{c.flags}));
  }
  TZkFakeSessionEnder ender;
  WindowsShutDown(ender, true, false);
  WindowsReboot(ender, true, false);
  EXPECT_EQ(ender.EndedSessions, (std::vector<std::uint32_t>{0x05, 0x06}));
}

TEST(ShutDownWindows, AFailedOrRefusedPrivilegeStepRaisesAndTheSessionStays) {
  TZkFakeSessionEnder ender;
  ender.Privilege = TZkPrivilegeResult::NotGranted;
  try {
    WindowsShutDown(ender, true, false);
    ADD_FAILURE() << "no error";
  } catch (const EZkShutDownError& e) {
    EXPECT_STREQ(e.what(), "Hibás hatókör beállítás.");
  }
  ender.Privilege = TZkPrivilegeResult::Failed;
  try {
    WindowsReboot(ender, true, false);
    ADD_FAILURE() << "no error";
  } catch (const EZkShutDownError& e) {
    EXPECT_EQ(e.what(), ender.PrivilegeErrorText);
  }
  EXPECT_TRUE(ender.EndedSessions.empty());
}

TEST(ShutDownWin, ForceAndForceIfHungAreNeverBothSet) {
  TZkFakeSessionEnder ender;
  TZkShutDownWin component(ender);
  component.SetForceIfHung(true);
  component.SetForce(true);
  EXPECT_TRUE(component.Force());
  EXPECT_FALSE(component.ForceIfHung());
  component.SetForceIfHung(true);
  EXPECT_FALSE(component.Force());
  EXPECT_TRUE(component.ForceIfHung());
  component.SetForce(false);
  EXPECT_TRUE(component.ForceIfHung());
}

TEST(ShutDownWin, ExitWindowsUsesTheComponentsSettings) {
  TZkFakeSessionEnder ender;
  TZkShutDownWin component(ender);
  component.ExitWindows();
  component.SetShutDownType(TShutDownType::sdtPowerOff);
  component.ExitWindows();
  component.SetForce(true);
  component.SetShutDownType(TShutDownType::sdtReboot);
  component.ExitWindows();
  EXPECT_EQ(ender.EndedSessions, (std::vector<std::uint32_t>{0x00, 0x08, 0x06}));
}

TEST(ShutDownWin, TheEndOfSessionQueryAsksTheHandler) {
  TZkFakeSessionEnder ender;
  {
    TZkShutDownWin component(ender);
    ASSERT_TRUE(ender.Query);
    EXPECT_TRUE(ender.Query(false));  // no handler: the session may end

    std::vector<bool> asked;
    component.SetOnQueryEndSession([&](TZkShutDownWin& sender, bool logOff, bool& accept) {
      EXPECT_EQ(&sender, &component);
      EXPECT_TRUE(accept);
      asked.push_back(logOff);
      accept = false;
    });
    EXPECT_FALSE(ender.Query(true));
    EXPECT_FALSE(component.QueryEndSession(false));
    EXPECT_EQ(asked, (std::vector<bool>{true, false}));
  }
  EXPECT_FALSE(ender.Query);  // disconnected with the component
}

}  // namespace
}  // namespace zk::test
