#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/ZkError.h"
#include "engine/ZkThreadSave.h"
#include "support/ZkRecordingSleeper.h"
#include "support/ZkTempDir.h"
#include "util/ZkUtilFile.h"

namespace zk::test {
namespace {

// An engine with a run copy and a recording sleeper; the events it raises
// are written down as "event size position total".
struct RelayFixture : ::testing::Test {
  RelayFixture() {
    engine.SetSleeper(sleeper);
    auto task = std::make_unique<TZkThreadActiveTask>();
    task->ItemBase = 1000;
    engine.SetActiveTask(std::move(task));
    auto note = [this](const char* what) {
      return [this, what](TZkThreadSave&, TZkThreadActiveTask& t) {
        events.push_back(std::string(what) + " " + std::to_string(t.ItemSize) + " " + std::to_string(t.ItemPosition) +
                         " " + std::to_string(t.TotalPosition));
      };
    };
    engine.OnBeforeAddFile = note("BeforeAddFile");
    engine.OnActionAddFile = note("ActionAddFile");
    engine.OnBeforeCopy = note("BeforeCopy");
    engine.OnActionCopy = note("ActionCopy");
    engine.OnBeforeDuplicate = note("BeforeDuplicate");
    engine.OnActionDuplicate = note("ActionDuplicate");
    source = dir.Write("a.bin", std::string(65536, 'x'));
  }

  TempDir dir;
  TRecordingSleeper sleeper;
  TZkThreadSave engine;
  std::vector<std::string> events;
  std::string source;
};

TEST_F(RelayFixture, AFileCopyReportsEachBlockWithAWaitFromTheItemsBase) {
  auto relay = engine.CopyRelay(TZkThreadSave::TCopyUse::ctFile);
  CopyFileWithProgress(source, dir / "copy.bin", relay.get());
  EXPECT_EQ(events, (std::vector<std::string>{"BeforeAddFile 65536 0 0", "ActionAddFile 65536 0 1000",
                                              "ActionAddFile 65536 32768 33768", "ActionAddFile 65536 65536 66536",
                                              "ActionAddFile 65536 65536 66536"}));
  EXPECT_EQ(sleeper.Waits, (std::vector<int>{100, 100, 100, 100}));
}

TEST_F(RelayFixture, ArchiveCopiesCountFromZeroAndUseTheirOwnEvents) {
  engine.CopyRelay(TZkThreadSave::TCopyUse::ctArchive)->SetPosition(32768);
  engine.CopyRelay(TZkThreadSave::TCopyUse::ctDuplicate)->SetMax(7);
  engine.CopyRelay(TZkThreadSave::TCopyUse::ctDuplicate)->SetPosition(5);
  EXPECT_EQ(events, (std::vector<std::string>{"ActionCopy 0 32768 32768", "BeforeDuplicate 7 32768 32768",
                                              "ActionDuplicate 7 5 5"}));
  engine.Throttle = false;  // no waits at all
  engine.CopyRelay(TZkThreadSave::TCopyUse::ctArchive)->SetPosition(1);
  EXPECT_EQ(sleeper.Waits.size(), 2u);
}

TEST_F(RelayFixture, AStopRequestEndsTheCopyAtTheNextReport) {
  engine.Stop();
  auto relay = engine.CopyRelay(TZkThreadSave::TCopyUse::ctFile);
  try {
    CopyFileWithProgress(source, dir / "copy.bin", relay.get());
    FAIL() << "no error";
  } catch (const EZkError& e) {
    EXPECT_STREQ(e.what(), "Stopped In Copy");
  }
  EXPECT_EQ(events.size(), 2u);  // the size, then the first report
}

}  // namespace
}  // namespace zk::test
