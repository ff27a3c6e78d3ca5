#include "platform/ZkPrograms.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/ZkSaveFunc.h"
#include "platform/ZkFakeServiceControl.h"
#include "platform/ZkFakeSessionEnder.h"
#include "platform/ZkTestDaemons.h"
#include "platform/ZkTestWindow.h"
#include "support/ZkRecordingSleeper.h"

namespace zk::test {
namespace {

namespace p = platform;

TEST(SplitShellWords, SplitsLikeAPosixShellWithoutExpanding) {
  struct Case {
    const char* text;
    std::vector<std::string> words;
  };
  const Case cases[] = {
      {"", {}},
      {"  -a\t-b  ", {"-a", "-b"}},
      {"'two words' \"x y\"", {"two words", "x y"}},
      {"a\\ b c", {"a b", "c"}},
      {"'$HOME' \"$HOME\" `x`", {"$HOME", "$HOME", "`x`"}},
      {R"("say \"hi\" \\ \n")", {R"(say "hi" \ \n)"}},
      {"pre'mid dle'post", {"premid dlepost"}},
      {"''", {""}},
      {"'open quote", {"open quote"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(p::SplitShellWords(c.text), c.words);
  }
}

// Close actions against a window of the test's own on a screenless X server.
class CloseAction : public ::testing::Test {
protected:
  void SetUp() override {
    if (!ToolExists("/usr/bin/Xvfb")) GTEST_SKIP() << "needs Xvfb";
    xvfb_ = std::make_unique<TXvfb>();
    ASSERT_FALSE(xvfb_->Display().empty()) << "Xvfb did not start";
    window_ = std::make_unique<TTestWindow>(xvfb_->Display(), "zkbackuptest", "ZkBackupTest", "Napló – mentés");
    ASSERT_TRUE(window_->IsOpen());
    setenv("DISPLAY", xvfb_->Display().c_str(), 1);
  }
  void TearDown() override { unsetenv("DISPLAY"); }

  void Run(const std::string& text) {
    TZkThreadSaveFunc func;
    func.SetName(text);
    func.Perform(platform_);
  }
  int CloseRequests(int waitMs) { return window_->CloseRequests(waitMs); }

  std::unique_ptr<TXvfb> xvfb_;
  std::unique_ptr<TTestWindow> window_;
  TRecordingSleeper sleeper_;
  p::TZkFakeServiceControl services_;
  p::TZkFakeSessionEnder session_;
  TZkActionPlatform platform_{sleeper_, services_, session_, p::DesktopPrograms()};
};

TEST_F(CloseAction, FindsTheWindowByClassThenByCaptionAndAsksItToClose) {
  Run("Close;ZkBackupTest");
  EXPECT_EQ(CloseRequests(3000), 1);
  Run("CLOSE;zkbackuptest");
  EXPECT_EQ(CloseRequests(3000), 1);
  Run("Close;Napló – mentés");
  EXPECT_EQ(CloseRequests(3000), 1);
  // Only A to Z are compared without case.
  EXPECT_FALSE(p::DesktopPrograms().CloseWindowWithCaption("NAPLó – MENTÉS"));
}

TEST_F(CloseAction, IsSilentWithoutSuchAWindowOrWithoutADisplay) {
  EXPECT_NO_THROW(Run("Close;No such window"));
  EXPECT_FALSE(p::DesktopPrograms().CloseWindowOfClass("No such window"));
  EXPECT_EQ(CloseRequests(300), 0);
  unsetenv("DISPLAY");
  EXPECT_NO_THROW(Run("Close;ZkBackupTest"));
  EXPECT_FALSE(p::DesktopPrograms().CloseWindowOfClass("ZkBackupTest"));
  EXPECT_EQ(CloseRequests(300), 0);
}

}  // namespace
}  // namespace zk::test
