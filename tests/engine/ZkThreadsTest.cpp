#include "engine/ZkThreads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace zk::test {
namespace {

// Counts the passes of its loop until it is terminated.
class TLoop : public TZkCustomThread {
public:
  using TZkCustomThread::TZkCustomThread;
  ~TLoop() override { Shutdown(); }
  std::atomic<int> passes{0};
  std::atomic<bool> throwing{false};

protected:
  void Execute() override {
    do {
      ++passes;
      if (throwing) throw std::runtime_error("broken");
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } while (!Terminated());
  }
};

TEST(CustomThread, RunsUntilTerminatedAndNotifiesOnceAfterwards) {
  std::atomic<int> notices{0};
  std::atomic<int> passesAtNotice{-1};
  {
    TLoop loop;
    loop.OnTerminate = [&](TZkCustomThread& sender) {
      passesAtNotice = static_cast<TLoop&>(sender).passes.load();
      ++notices;
    };
    loop.Start();
    loop.Start();  // no second thread
    while (loop.passes < 3) std::this_thread::yield();
    EXPECT_EQ(notices, 0);
    loop.Terminate();
    EXPECT_TRUE(loop.Terminated());
  }
  EXPECT_EQ(notices, 1);
  EXPECT_GE(passesAtNotice, 3);
}

TEST(CustomThread, ANeverStartedThreadRunsOnePassWhenDestroyed) {
  std::atomic<int> passes{0};
  std::atomic<bool> notified{false};
  {
    TLoop loop;
    loop.OnTerminate = [&](TZkCustomThread& sender) {
      passes = static_cast<TLoop&>(sender).passes.load();
      notified = true;
    };
  }
  EXPECT_EQ(passes, 1);
  EXPECT_TRUE(notified);
}

TEST(CustomThread, TheNotificationGoesThroughTheOwnersHandOverAndErrorsAreKept) {
  std::atomic<bool> handedOver{false};
  std::atomic<bool> notified{false};
  TLoop loop([&](std::function<void()> notification) {
    handedOver = true;
    notification();
  });
  loop.OnTerminate = [&](TZkCustomThread&) { notified = true; };
  loop.throwing = true;
  loop.Start();
  while (!notified) std::this_thread::yield();
  EXPECT_TRUE(handedOver);
  ASSERT_TRUE(loop.FatalException());
  EXPECT_THROW(std::rethrow_exception(loop.FatalException()), std::runtime_error);
}

}  // namespace
}  // namespace zk::test
