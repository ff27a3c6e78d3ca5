#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "engine/ZkSaveFunc.h"
#include "platform/ZkFakePrograms.h"
#include "platform/ZkFakeServiceControl.h"
#include "platform/ZkFakeSessionEnder.h"
#include "support/ZkTempDir.h"
#include "support/ZkRecordingSleeper.h"
#include "system/ZkService.h"
#include "system/ZkShutDownWinX.h"

namespace zk::test {
namespace {

namespace p = platform;

class Perform : public ::testing::Test {
protected:
  void Run(const std::string& text) {
    TZkThreadSaveFunc func;
    func.SetName(text);
    func.Perform(platform_);
  }

  TRecordingSleeper sleeper_;
  p::TZkFakeServiceControl services_;
  p::TZkFakeSessionEnder session_;
  p::TZkFakePrograms programs_;
  TZkActionPlatform platform_{sleeper_, services_, session_, programs_};
};

TEST_F(Perform, PauseSleepsItsSecondsKeptBetweenNothingAndADay) {
  const std::pair<const char*, int> cases[] = {
      {"PAUSE;10", 10000}, {"pause;abc", 0}, {"Pause;-5", 0}, {"PAUSE;86401", 86400000}, {"PAUSE;4000000", 86400000},
  };
  for (const auto& [text, waited] : cases) {
    SCOPED_TRACE(text);
    sleeper_.Waits.clear();
    Run(text);
    EXPECT_EQ(sleeper_.Waits, (std::vector<int>{waited}));
  }
}

TEST_F(Perform, ProgramActionsHandTheirParametersAndFolderToThePlatform) {
  Run("EXECUTE;/opt/tools/report.sh;-q \"two words\"");
  Run("ExecuteWait;tar;-cf x.tar");
  programs_.WindowClasses = {"gedit"};
  Run("Close;gedit");
  Run("Close;Untitled - Notes");
  Run("Close;");
  Run("Nothing;at all");
  EXPECT_EQ(programs_.Calls, (std::vector<std::string>{
                                 "ShellOpen /opt/tools/report.sh|-q \"two words\"|/opt/tools/",
                                 "RunAndWait tar|-cf x.tar|",
                                 "CloseClass gedit",
                                 "CloseClass Untitled - Notes",
                                 "CloseCaption Untitled - Notes",
                             }));
  EXPECT_TRUE(sleeper_.Waits.empty());
  EXPECT_TRUE(session_.EndedSessions.empty());
}

TEST_F(Perform, StartContinuesAPausedServiceAndStartsAStoppedOne) {
  services_.AddService("paused", "", p::kServicePaused);
  services_.AddService("stopped", "", p::kServiceStopped);
  Run("Start_Service;paused");
  Run("START_SERVICE;stopped;Display name");
  EXPECT_EQ(services_.Find("paused")->Status.CurrentState, p::kServiceRunning);
  EXPECT_EQ(services_.Find("stopped")->Status.CurrentState, p::kServiceRunning);
  const auto& calls = services_.Calls;
  EXPECT_NE(std::find(calls.begin(), calls.end(), "Control paused 3"), calls.end());
  EXPECT_EQ(std::find(calls.begin(), calls.end(), "Start paused"), calls.end());
  EXPECT_NE(std::find(calls.begin(), calls.end(), "Control stopped 3"), calls.end());
  EXPECT_NE(std::find(calls.begin(), calls.end(), "Start stopped"), calls.end());
}

TEST_F(Perform, ServiceAndShutdownFailuresReachTheCaller) {
  services_.AddService("cups", "", p::kServiceRunning);
  Run("Pause_Service;cups");
  EXPECT_EQ(services_.Find("cups")->Status.CurrentState, p::kServicePaused);
  Run("Stop_Service;cups");
  EXPECT_EQ(services_.Find("cups")->Status.CurrentState, p::kServiceStopped);
  try {
    Run("Start_Service;nosuch");
    ADD_FAILURE() << "no error";
  } catch (const EZkServiceError& e) {
    EXPECT_STREQ(e.what(), "nosuch ServiseName failed (The specified service does not exist as an installed service.) ");
  }
  EXPECT_THROW(Run("Stop_Service;cups"), EZkServiceError);

  Run("Restart");
  Run("SHUTDOWN");
  EXPECT_EQ(session_.EndedSessions, (std::vector<std::uint32_t>{0x06, 0x05}));
  session_.Privilege = p::TZkPrivilegeResult::NotGranted;
  EXPECT_THROW(Run("Shutdown"), EZkShutDownError);
  EXPECT_EQ(session_.EndedSessions.size(), 2u);
}

// Real processes on this machine.
class PerformPrograms : public ::testing::Test {
protected:
  void Run(const std::string& text) {
    TZkThreadSaveFunc func;
    func.SetName(text);
    func.Perform(platform_);
  }

  // A script in a folder with a blank in its name that sleeps, then writes
  // its working folder and its arguments, one a line.
  std::string Script(int seconds) {
    const std::string path = dir_.Write("my tools/job.sh", "#!/bin/sh\nsleep " + std::to_string(seconds) +
                                                               "\n{ pwd; printf '%s\\n' \"$@\"; } > \"" + Output() +
                                                               ".part\"\nmv \"" + Output() + ".part\" \"" +
                                                               Output() + "\"\n");
    chmod(path.c_str(), 0755);
    return path;
  }
  std::string Output() const { return dir_ / "out.txt"; }
  std::string Expected() const { return (dir_ / "my tools") + "\n-a\ntwo words\nx y\n"; }

  TempDir dir_;
  TRecordingSleeper sleeper_;
  p::TZkFakeServiceControl services_;
  p::TZkFakeSessionEnder session_;
  TZkActionPlatform platform_{sleeper_, services_, session_, p::DesktopPrograms()};
};

TEST_F(PerformPrograms, RunAndWaitReturnsAfterTheProgramHasEnded) {
  const std::string script = Script(1);
  const auto start = std::chrono::steady_clock::now();
  Run("ExecuteWait;" + script + ";-a 'two words' \"x y\"");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
  EXPECT_EQ(TempDir::Read(Output()), Expected());
}

TEST_F(PerformPrograms, RunReturnsAtOnceAndTheProgramGoesOn) {
  const std::string script = Script(1);
  const auto start = std::chrono::steady_clock::now();
  Run("Execute;" + script + ";-a 'two words' \"x y\"");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(700));
  EXPECT_FALSE(std::filesystem::exists(Output()));
  for (int i = 0; i < 100 && !std::filesystem::exists(Output()); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(TempDir::Read(Output()), Expected());
}

TEST_F(PerformPrograms, ProgramsThatCannotBeStartedEndAtOnceWithoutError) {
  const std::string notExecutable = dir_.Write("plain.sh", "#!/bin/sh\n");
  const std::string missing = dir_ / "missing/run";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_NO_THROW(Run("ExecuteWait;" + missing + ";-x"));
  EXPECT_NO_THROW(Run("ExecuteWait;" + notExecutable + ";"));
  EXPECT_NO_THROW(Run("ExecuteWait;no-such-program-zk;"));
  EXPECT_NO_THROW(Run("Execute;" + missing + ";"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_FALSE(p::DesktopPrograms().RunAndWait(missing, "", ""));
  EXPECT_FALSE(p::DesktopPrograms().ShellOpen(missing, "", ""));
}

}  // namespace
}  // namespace zk::test
