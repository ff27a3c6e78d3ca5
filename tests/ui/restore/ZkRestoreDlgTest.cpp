// The restore window on archives the engine wrote of a temporary tree,
// driven as a user drives it: a run picked, files ticked, the target and the
// choice for existing files set, the question answered, the restore stopped.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <random>
#include <string>
#include <vector>

#include "engine/ZkThreadSave.h"
#include "platform/ZkAtomicFile.h"
#include "platform/ZkFakePrograms.h"
#include "platform/ZkFakeServiceControl.h"
#include "platform/ZkFakeSessionEnder.h"
#include "support/ZkDialogAnswer.h"
#include "support/ZkFakeClock.h"
#include "support/ZkGuiWait.h"
#include "support/ZkRcloneServer.h"
#include "support/ZkRecordingSleeper.h"
#include "support/ZkTempDir.h"
#include "ui/app/ZkQtText.h"
#include "ui/controls/RadioGroup.h"
#include "ui/controls/SpeedButton.h"
#include "ui/controls/ZkFolderEdit.h"
#include "ui/progress/ZkProgress.h"
#include "ui/restore/ZkRestoreDlg.h"

namespace zk::ui {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// A job over dir/src whose runs are full runs under dated names, run by the
// real engine on a fixed clock.
struct RestoreWindowTest : ::testing::Test {
  RestoreWindowTest() {
    TZkThreadSaveTask& job = jobs.Add();
    job.Name = "Docs";
    job.AddFiles().Add().Name = dir / "src/";
    job.DefineOutput().OutputFolder = dir / "out";
    job.DefineOutput().FileName = "Docs";
    job.DefineOutput().FileNameDate = true;
  }

  void RunOn(int day) {
    clock.Set(2024, 1, day, 10, 0, 0);
    TZkThreadSave engine(clock);
    engine.SetSleeper(sleeper);
    engine.SetActionPlatform(actions);
    engine.HistoryFilename = History();
    engine.OnErrorEvent = [this](TZkThreadSave&, const std::string& line) { errors.push_back(line); };
    engine.OnAfterBackup = [](TZkThreadSave& sender, TZkThreadActiveTask&) {
      sender.Stop();
      sender.Terminate();
    };
    engine.SetSaving(jobs);
    engine.Saving().FindByName("Docs")->StartNow();
    std::promise<void> ended;
    engine.OnTerminate = [&ended](TZkCustomThread&) { ended.set_value(); };
    engine.Start();
    ASSERT_EQ(ended.get_future().wait_for(std::chrono::seconds(60)), std::future_status::ready);
    ASSERT_EQ(errors, Lines{});
  }

  std::string History() const { return dir / "Backup.Ini"; }

  // The window on the job's runs, on screen.
  TZkRestoreDlg& Open() {
    window.SetJob(History(), "Docs");
    window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    return window;
  }

  template <class T = QWidget>
  T& Find(const char* name) {
    auto* widget = window.findChild<T*>(QLatin1String(name));
    if (widget == nullptr) throw std::runtime_error(std::string("no control ") + name);
    return *widget;
  }

  // The node of the file tree with this stored path.
  QTreeWidgetItem* Node(const std::string& path) {
    for (QTreeWidgetItemIterator it(&Find<QTreeWidget>("FileTree")); *it != nullptr; ++it)
      if ((*it)->toolTip(0).endsWith(ToQString(path))) return *it;
    ADD_FAILURE() << "no node " << path;
    return nullptr;
  }

  // Ticks a node with the keyboard, as the user does.
  void Tick(const std::string& path) {
    auto& tree = Find<QTreeWidget>("FileTree");
    QTreeWidgetItem* node = Node(path);
    ASSERT_NE(node, nullptr);
    tree.setFocus();
    tree.setCurrentItem(node);
    QTest::keyClick(&tree, Qt::Key_Space);
    ASSERT_NE(node->checkState(0), Qt::Unchecked) << path;
  }

  // "Másik mappába" with the folder typed in.
  void ToFolder(const std::string& folder) {
    auto& toFolder = Find<QRadioButton>("ToFolder");
    QTest::mouseClick(&toFolder, Qt::LeftButton, {}, QPoint(6, toFolder.height() / 2));
    QTest::keyClicks(&Find<TZkFolderEdit>("TargetFolder").Edit(), ToQString(folder));
  }

  void Click(const char* button) {
    auto& speed = Find<SpeedButton>(button);
    ZK_WAIT_FOR(speed.isEnabled()) << button;
    QTest::mouseClick(&speed, Qt::LeftButton);
  }

  QString Summary() { return Find<QLabel>("Summary").text(); }

  void ClickRun(int row) {
    auto& runs = Find<QTreeWidget>("RunList");
    QTest::mouseClick(runs.viewport(), Qt::LeftButton, {}, runs.visualItemRect(runs.topLevelItem(row)).center());
    ASSERT_EQ(runs.currentItem(), runs.topLevelItem(row));
  }

  // Where a file of src is restored below `target`.
  std::string Below(const std::string& target, const std::string& name) const { return target + (dir / "src/") + name; }

  test::TempDir dir;
  test::TFixedClock clock;
  test::TRecordingSleeper sleeper;
  test::TRecordingSleeper actionSleeper;
  platform::TZkFakeServiceControl services;
  platform::TZkFakeSessionEnder session;
  platform::TZkFakePrograms programs;
  TZkActionPlatform actions{actionSleeper, services, session, programs};
  TZkThreadSaveTasks jobs{nullptr, &clock};
  Lines errors;
  TZkRestoreDlg window;
};

TEST_F(RestoreWindowTest, TwoCheckedFilesOfTheSecondNewestRunGoToAnotherFolder) {
  dir.Write("src/a.txt", "a of monday");
  dir.Write("src/sub/b.txt", "b of monday");
  dir.Write("src/c.txt", "c of monday");
  RunOn(1);
  dir.Write("src/a.txt", "a of tuesday");
  dir.Write("src/sub/b.txt", "b of tuesday");
  RunOn(2);

  Open();
  auto& runs = Find<QTreeWidget>("RunList");
  ASSERT_EQ(runs.topLevelItemCount(), 2);
  EXPECT_EQ(runs.currentItem(), runs.topLevelItem(0));
  EXPECT_EQ(runs.topLevelItem(0)->text(0), QStringLiteral("2024.01.02 10:00"));
  QTest::mouseClick(runs.viewport(), Qt::LeftButton, {}, runs.visualItemRect(runs.topLevelItem(1)).center());
  ASSERT_EQ(runs.currentItem(), runs.topLevelItem(1));

  EXPECT_FALSE(Find<SpeedButton>("RestoreButton").isEnabled());
  Tick("a.txt");
  Tick("sub/b.txt");
  ZK_WAIT_FOR(Find<QLabel>("Chosen").text().startsWith(QStringLiteral("Kijelölve: 2 fájl")));
  const std::string target = dir / "restored";
  ToFolder(target);
  Click("RestoreButton");
  ZK_WAIT_FOR(!window.Running());

  EXPECT_EQ(test::TempDir::Read(Below(target, "a.txt")), "a of monday");
  EXPECT_EQ(test::TempDir::Read(Below(target, "sub/b.txt")), "b of monday");
  EXPECT_FALSE(fs::exists(Below(target, "c.txt")));
  EXPECT_EQ(Summary(), QStringLiteral("Visszaállítva: 2, kihagyva: 0, sikertelen: 0"));
  // The originals are as they were.
  EXPECT_EQ(test::TempDir::Read(dir / "src/a.txt"), "a of tuesday");
}

TEST_F(RestoreWindowTest, ARunWhoseArchiveIsGoneIsGreyedAndTheNewestWithOneIsChosen) {
  dir.Write("src/a.txt", "a");
  RunOn(1);
  RunOn(2);
  Open();
  fs::remove(window.Runs().front().Path);
  window.SetJob(History(), "Docs");
  auto& runs = Find<QTreeWidget>("RunList");
  ASSERT_EQ(runs.topLevelItemCount(), 2);
  EXPECT_FALSE(runs.topLevelItem(0)->flags() & Qt::ItemIsEnabled);
  EXPECT_TRUE(runs.topLevelItem(0)->toolTip(0).contains(QStringLiteral("Hiányzik: ")));
  EXPECT_EQ(runs.currentItem(), runs.topLevelItem(1));
  EXPECT_NE(Node("a.txt"), nullptr);
}

TEST_F(RestoreWindowTest, TheQuestionAnsweredMindetReplacesEveryExistingFile) {
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) dir.Write(std::string("src/") + name, "archived");
  RunOn(1);
  const std::string target = dir / "restored";
  for (const char* name : {"a.txt", "b.txt"})
    dir.Write(fs::relative(Below(target, name), dir.Path()).string(), "on disk");

  Open();
  EXPECT_EQ(Find<RadioGroup>("Existing").ItemIndex(), 0);  // "Kérdez"
  Tick(dir / "src");  // the folder of the files: all of them
  ToFolder(target);
  QString question;
  test::AnswerNextDialog([&question](QWidget& dialog) {
    question = test::MessageBoxText(dialog);
    test::ClickButton(dialog, QStringLiteral("Mindet"));
  });
  Click("RestoreButton");
  ZK_WAIT_FOR(!window.Running());

  EXPECT_TRUE(question.contains(ToQString(Below(target, "a.txt")))) << ToUtf8(question);
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) EXPECT_EQ(test::TempDir::Read(Below(target, name)), "archived");
  EXPECT_EQ(window.Counts().Restored, 3);
  EXPECT_EQ(window.Counts().Skipped, 0);
}

TEST_F(RestoreWindowTest, AStopInTheMiddleLeavesOnlyCompleteFiles) {
  dir.Write("src/1.bin", std::string(200000, '1'));
  dir.Write("src/2.bin", std::string(200000, '2'));
  dir.Write("src/3.bin", std::string(200000, '3'));
  RunOn(1);
  // The worker waits at the second file until the stop was clicked.
  std::atomic<bool> atSecond{false};
  std::promise<void> stopClicked;
  std::shared_future<void> clicked = stopClicked.get_future().share();
  window.OnItemStarts = [&](const std::string& destination) {
    if (!destination.ends_with("/2.bin")) return;
    atSecond = true;
    clicked.wait_for(std::chrono::seconds(10));
  };

  Open();
  Tick(dir / "src");
  const std::string target = dir / "restored";
  ToFolder(target);
  Click("RestoreButton");
  ZK_WAIT_FOR(atSecond.load());
  EXPECT_FALSE(Find<SpeedButton>("CloseButton").isEnabled());
  Click("StopButton");
  stopClicked.set_value();
  ZK_WAIT_FOR(!window.Running());

  EXPECT_EQ(test::TempDir::Read(Below(target, "1.bin")), std::string(200000, '1'));
  EXPECT_FALSE(fs::exists(Below(target, "2.bin")));
  EXPECT_FALSE(fs::exists(Below(target, "3.bin")));
  for (const auto& entry : fs::recursive_directory_iterator(target))
    EXPECT_FALSE(platform::IsAtomicTemporaryName(entry.path().filename().string())) << entry.path();
  EXPECT_EQ(window.Counts().Restored, 1);
  EXPECT_TRUE(Summary().startsWith(QStringLiteral("Megszakítva. Visszaállítva: 1"))) << ToUtf8(Summary());
  EXPECT_TRUE(Find<SpeedButton>("CloseButton").isEnabled());
}

// The job's archives also go to a real rclone WebDAV server on 127.0.0.1;
// the window fetches from it through a wrapper that slows rclone down, so
// that a fetch takes a few seconds.
struct RemoteRestoreWindowTest : RestoreWindowTest {
  void SetUp() override {
    if (!test::HaveRclone()) GTEST_SKIP() << "rclone is not installed";
    server = std::make_unique<test::TRcloneServer>(dir / "nas", dir.Path().string());
    ASSERT_TRUE(server->Up());
    TZkThreadDefineOutput& output = jobs.FindByName("Docs")->DefineOutput();
    output.RemoteTarget = "testnas:mentes";
    output.Temp = dir / "work";
    const std::string wrapper = dir.Write("slow-rclone", "#!/bin/sh\nexec rclone --bwlimit 1M \"$@\"\n");
    fs::permissions(wrapper, fs::perms::owner_all);
    slow = platform::MakeRcloneStore(wrapper);
  }

  // The two runs, the older one with a 3 MB file that does not compress,
  // and its archive gone here.
  void RunTwiceAndLoseTheOlderArchive() {
    std::string noise(3 << 20, '\0');
    std::mt19937 random(11);
    for (char& c : noise) c = static_cast<char>(random());
    dir.Write("src/a.txt", "a of monday");
    dir.Write("src/noise.bin", noise);
    RunOn(1);
    dir.Write("src/a.txt", "a of tuesday");
    fs::remove(dir / "src/noise.bin");
    RunOn(2);
    window.SetRemote(jobs.FindByName("Docs")->DefineOutput(), *slow);
    Open();
    ASSERT_EQ(window.Runs().size(), 2u);
    fs::remove(window.Runs().back().Path);
    window.SetJob(History(), "Docs");
  }

  // The fetched copies of the work folder.
  Lines Fetched() const {
    Lines found;
    for (const auto& entry : fs::directory_iterator(dir / "work"))
      if (entry.path().filename().string().starts_with(".backup-fetch-")) found.push_back(entry.path());
    return found;
  }

  std::unique_ptr<test::TRcloneServer> server;
  std::unique_ptr<platform::TZkRemoteStore> slow;
};

TEST_F(RemoteRestoreWindowTest, ARunWhoseArchiveIsGoneHereIsFetchedOnTheWorkerAndRestored) {
  RunTwiceAndLoseTheOlderArchive();
  auto& runs = Find<QTreeWidget>("RunList");
  // The run with its archive here is chosen; the other one can be.
  EXPECT_EQ(runs.currentItem(), runs.topLevelItem(0));
  ASSERT_TRUE(runs.topLevelItem(1)->flags() & Qt::ItemIsEnabled);
  EXPECT_TRUE(runs.topLevelItem(1)->toolTip(0).contains(QStringLiteral("letöltődik a távoli másolatból")));
  ClickRun(1);

  // The window goes on while the worker fetches: its text follows the bytes.
  ZK_WAIT_FOR(Summary().contains(QStringLiteral(" / ")));
  EXPECT_TRUE(Summary().startsWith(QStringLiteral("Letöltés a távoli másolatból: testnas:mentes/Docs")))
      << ToUtf8(Summary());
  EXPECT_TRUE(window.Running());
  EXPECT_FALSE(runs.isEnabled());
  EXPECT_TRUE(Find<SpeedButton>("StopButton").isEnabled());
  EXPECT_GT(Find<TZkProgressBar>("TotalBar").Position(), 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window.Running(); }, 20000));
  EXPECT_EQ(Fetched().size(), 1u);

  Tick("a.txt");
  Tick("noise.bin");
  const std::string target = dir / "restored";
  ToFolder(target);
  Click("RestoreButton");
  ZK_WAIT_FOR(!window.Running());
  EXPECT_EQ(test::TempDir::Read(Below(target, "a.txt")), "a of monday");
  EXPECT_EQ(test::TempDir::Read(Below(target, "noise.bin")).size(), std::size_t{3} << 20);
  EXPECT_EQ(Summary(), QStringLiteral("Visszaállítva: 2, kihagyva: 0, sikertelen: 0"));

  // Another run chosen: the fetched copy goes.
  ClickRun(0);
  EXPECT_EQ(Fetched(), Lines{});
}

TEST_F(RemoteRestoreWindowTest, AFetchThatFailsIsToldInAMessageBoxAndAStoppedOneIsNot) {
  RunTwiceAndLoseTheOlderArchive();
  const std::string lost = FileNamePart(window.Runs().back().Path);
  // Stopped in the middle: said in the window only.
  ClickRun(1);
  ZK_WAIT_FOR(Summary().contains(QStringLiteral(" / ")));
  Click("StopButton");
  ZK_WAIT_FOR(!window.Running());
  EXPECT_EQ(Summary(), ToQString("A letöltés megszakadt (testnas:mentes/" + lost + ")"));
  EXPECT_EQ(Find<QTreeWidget>("FileTree").topLevelItemCount(), 0);
  EXPECT_EQ(Fetched(), Lines{});

  // Gone from the remote too.
  fs::remove(dir / ("nas/mentes/" + lost));
  ClickRun(0);
  QString told;
  test::AnswerNextDialog(
      [&told](QWidget& dialog) {
        told = test::MessageBoxText(dialog);
        test::ClickButton(dialog, QStringLiteral("OK"));
      },
      20000);
  ClickRun(1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window.Running(); }, 20000));
  EXPECT_TRUE(told.startsWith(ToQString("Letöltési hiba (testnas:mentes/" + lost + "): "))) << ToUtf8(told);
  EXPECT_EQ(Summary(), told);
  EXPECT_FALSE(Find<SpeedButton>("RestoreButton").isEnabled());
  EXPECT_EQ(Fetched(), Lines{});
}

// Tab walks the window as it reads: the runs, the filter, the files, the
// target with its folder, the choice for existing files, the buttons.
TEST_F(RestoreWindowTest, TabFollowsTheWindowFromTopToBottom) {
  dir.Write("src/a.txt", "a");
  RunOn(1);
  Open();
  QApplication::setActiveWindow(&window);
  ToFolder(dir / "restored");
  Tick(dir / "src");
  ZK_WAIT_FOR(Find<SpeedButton>("RestoreButton").isEnabled());
  Find<QTreeWidget>("RunList").setFocus();
  QStringList reached;
  for (int i = 0; i < 10; ++i) {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    const auto* button = qobject_cast<QAbstractButton*>(focus);
    reached.push_back(button != nullptr ? button->text() : focus->accessibleName());
    QTest::keyClick(focus, Qt::Key_Tab);
  }
  // A radio group is one stop, at its chosen button; the stop button is
  // disabled before the start; after the last control the first again.
  EXPECT_EQ(ToUtf8(reached.join(QStringLiteral(" | "))),
            "Futások | Szűrő: | Fájlok | Másik mappába | Célmappa | … | Kérdez | Visszaállítás | Bezárás | Futások");
}

}  // namespace
}  // namespace zk::ui
