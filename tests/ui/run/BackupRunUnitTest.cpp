// The run window driven as a user drives it, with the real engine over real
// folders and fakes for the machine (services, programs, the session).

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QPalette>
#include <QScrollArea>
#include <QSettings>
#include <QTest>
#include <QTranslator>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/ZkDateTime.h"
#include "engine/ZkSaveFunc.h"
#include "engine/ZkThreadSave.h"
#include "platform/ZkClock.h"
#include "platform/ZkFakePrograms.h"
#include "platform/ZkFakeServiceControl.h"
#include "platform/ZkFakeSessionEnder.h"
#include "support/ZkDialogAnswer.h"
#include "support/ZkEnvironmentVariable.h"
#include "support/ZkGuiWait.h"
#include "support/ZkRcloneServer.h"
#include "support/ZkTempDir.h"
#include "ui/app/ZkApplication.h"
#include "ui/controls/SpeedButton.h"
#include "ui/controls/ZkCheckBox.h"
#include "ui/controls/ZkEdit.h"
#include "ui/controls/ZkFolderEdit.h"
#include "ui/controls/ZkLabel.h"
#include "ui/progress/ZkProgress.h"
#include "ui/run/BackupRunUnit.h"

namespace zk::ui {
namespace {

namespace fs = std::filesystem;

// Holds the worker at each of the engine's throttling waits until the test
// lets it go, so that the window can be read in the middle of a run. The
// idle poll waits as the machine's sleeper does.
class GateSleeper : public platform::TZkSleeper {
public:
  void Sleep(int) override {
    std::unique_lock lock(mutex_);
    if (open_) return;
    held_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return !held_ || open_; });
  }
  void SleepUnlessWoken(int milliseconds, platform::TZkWakeSignal& wake) override { wake.WaitFor(milliseconds); }
  bool Held() const {
    const std::lock_guard lock(mutex_);
    return held_;
  }
  void Release() {
    const std::lock_guard lock(mutex_);
    held_ = false;
    changed_.notify_all();
  }
  // From now on nothing is held.
  void Open() {
    const std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }

private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool held_ = false;
  bool open_ = false;
};

struct JobSpec {
  JobSpec(std::string name, std::string source, std::string folder, std::string fileName,
          TZkSaveMode mode = TZkSaveMode::tmZip, bool disabled = false)
      : Name(std::move(name)),
        Source(std::move(source)),
        Folder(std::move(folder)),
        FileName(std::move(fileName)),
        Mode(mode),
        Disabled(disabled) {}
  std::string Name;
  std::string Source;  // a folder; empty: none
  std::string Folder;
  std::string FileName;
  TZkSaveMode Mode;
  bool Disabled;
};

class BackupRunTest : public ::testing::Test {
protected:
  BackupRunTest() {
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(dir / "config"));
  }

  void WriteJobs(const std::vector<JobSpec>& specs) {
    TZkThreadSaveTasks jobs;
    for (const JobSpec& spec : specs) {
      TZkThreadSaveTask& job = jobs.Add();
      job.Name = spec.Name;
      job.Disable = spec.Disabled;
      if (!spec.Source.empty()) job.AddFiles().Add().Name = spec.Source + "/";
      job.DefineOutput().OutputFolder = spec.Folder;
      job.DefineOutput().FileName = spec.FileName;
      job.DefineOutput().PackMode = spec.Mode;
    }
    WriteJobFile(jobFile, jobs);
  }

  // The job "Napi" over the folders given (below the test's folder), its
  // archive "Napi" in out/.
  TZkThreadSaveTask& NapiJob(TZkThreadSaveTasks& jobs, const std::vector<std::string>& sources) {
    TZkThreadSaveTask& job = jobs.Add();
    job.Name = "Napi";
    for (const std::string& source : sources) job.AddFiles().Add().Name = dir / (source + "/");
    job.DefineOutput().OutputFolder = dir / "out";
    job.DefineOutput().FileName = "Napi";
    return job;
  }

  // A window over the job file with one row per name, shown and filled.
  std::unique_ptr<TBackupRun> Open(const std::vector<std::string>& names, bool filled = true) {
    auto run = std::make_unique<TBackupRun>(actions);
    run->SetJobFile(jobFile);
    for (const std::string& name : names) run->AddRow(name);
    run->show();
    // The rows are filled just after the window shows.
    if (filled) QApplication::processEvents();
    return run;
  }

  static TZkFolderEdit& Folder(TBackupRun& run, const std::string& job) {
    return Find<TZkFolderEdit>(run, job + " célmappa");
  }
  static TZkEdit& Name(TBackupRun& run, const std::string& job) { return Find<TZkEdit>(run, job + " fájlnév"); }
  static TZkProgressBar& Bar(TBackupRun& run, const std::string& job) {
    return Find<TZkProgressBar>(run, job + " folyamat");
  }
  static TZkProgressBar& BottomBar(TBackupRun& run) {
    return *run.findChild<TZkProgressBar*>(QStringLiteral("ZkProgressBar1"));
  }
  static SpeedButton& Button(TBackupRun& run, int number) {
    return *run.findChild<SpeedButton*>(QStringLiteral("SpeedButton%1").arg(number));
  }
  static TZkCheckBox& ShutDownBox(TBackupRun& run) {
    return *run.findChild<TZkCheckBox*>(QStringLiteral("ZkCheckBox1"));
  }
  static TZkCheckBox& NoWaitsBox(TBackupRun& run) { return *run.findChild<TZkCheckBox*>(QStringLiteral("NoWaits")); }
  // A missing value: the field's colour well on the red side.
  static bool Red(const QWidget& field) {
    const QColor base = field.palette().color(QPalette::Base);
    return base.red() > base.green() + 100 && base.red() > base.blue() + 100;
  }

  template <class Widget>
  static Widget& Find(TBackupRun& run, const std::string& accessibleName) {
    for (Widget* widget : run.findChildren<Widget*>())
      if (widget->accessibleName() == QString::fromStdString(accessibleName)) return *widget;
    throw std::runtime_error("no control " + accessibleName);
  }

  static void Click(QWidget& button) { QTest::mouseClick(&button, Qt::LeftButton); }

  // Clicks "Mentés" with the waits off and waits until the window closed
  // by itself.
  static void RunToEnd(TBackupRun& run) {
    NoWaitsBox(run).setChecked(true);
    Click(Button(run, 1));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !run.isVisible(); }, 30000)) << "the run did not end";
  }

  static bool UnzipTests(const std::string& archive) {
    if (std::system("command -v unzip >/dev/null 2>&1") != 0) return fs::exists(archive);
    return std::system(("unzip -tq '" + archive + "' >/dev/null").c_str()) == 0;
  }

  std::string Source(const std::string& name, std::size_t size) {
    std::string data(size, '\0');
    std::mt19937 random(static_cast<unsigned>(size));
    for (char& byte : data) byte = static_cast<char>(random() % 64 + 32);
    return dir.Write(name, data);
  }

  test::TempDir dir;
  std::string jobFile = dir / "Backup.Xml";
  platform::TZkFakeServiceControl services;
  platform::TZkFakeSessionEnder session;
  platform::TZkFakePrograms programs;
  GateSleeper gate;
  TZkActionPlatform actions{gate, services, session, programs};
};

// Counts the folder pickers shown.
class PickerCounter : public QObject {
public:
  PickerCounter() { qApp->installEventFilter(this); }
  ~PickerCounter() override { qApp->removeEventFilter(this); }
  int Shown = 0;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && qobject_cast<QFileDialog*>(watched) != nullptr) ++Shown;
    return false;
  }
};

TEST_F(BackupRunTest, TwoJobsWithoutAFolderShareOnePickerChoice) {
  fs::create_directories(dir / "picked");
  WriteJobs({{"A", "", dir / "own", "a"}, {"B", "", "", "b"}, {"C", "", " ", "c"}});
  PickerCounter pickers;
  test::AnswerNextDialog([this](QWidget& dialog) {
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    QApplication::setActiveWindow(&dialog);
    name->setFocus();
    name->setText(QString::fromStdString(dir / "picked"));
    QTest::keyClick(name, Qt::Key_Return);
  });
  auto run = Open({"A", "B", "C"}, false);
  ZK_WAIT_FOR(Folder(*run, "C").Text() == QString::fromStdString(dir / "picked"));
  QApplication::processEvents();

  EXPECT_EQ(pickers.Shown, 1);
  EXPECT_EQ(Folder(*run, "A").Text(), QString::fromStdString(dir / "own"));
  EXPECT_EQ(Folder(*run, "B").Text(), QString::fromStdString(dir / "picked"));
  EXPECT_FALSE(Red(Folder(*run, "B").Edit()));
  EXPECT_TRUE(Button(*run, 1).isEnabled());
}

TEST_F(BackupRunTest, CancelledPickerLeavesBothFoldersRedUntilTyped) {
  WriteJobs({{"A", "", dir / "own", "a"}, {"B", "", "", "b"}, {"C", "", "", "c"}});
  PickerCounter pickers;
  test::AnswerNextDialog([](QWidget& dialog) { test::ClickButton(dialog, QStringLiteral("Cancel")); });
  auto run = Open({"A", "B", "C"}, false);
  ZK_WAIT_FOR(pickers.Shown == 1 && QApplication::activeModalWidget() == nullptr && Red(Folder(*run, "C").Edit()));

  EXPECT_TRUE(Folder(*run, "B").Text().isEmpty());
  EXPECT_TRUE(Red(Folder(*run, "B").Edit()));
  EXPECT_FALSE(Red(Folder(*run, "A").Edit()));
  EXPECT_FALSE(Button(*run, 1).isEnabled());

  QTest::keyClicks(&Folder(*run, "B").Edit(), QString::fromStdString(dir / "x"));
  EXPECT_FALSE(Red(Folder(*run, "B").Edit()));
  EXPECT_FALSE(Button(*run, 1).isEnabled());
  QTest::keyClicks(&Folder(*run, "C").Edit(), QString::fromStdString(dir / "y"));
  EXPECT_TRUE(Button(*run, 1).isEnabled());
  EXPECT_EQ(pickers.Shown, 1);
}

TEST_F(BackupRunTest, CopyJobRowHasNoNameEditAndNeedsOnlyItsFolder) {
  WriteJobs({{"Copy", "", dir / "copy", "", TZkSaveMode::tmCopy}, {"Zip", "", dir / "zip", ""}});
  auto run = Open({"Copy", "Zip"});

  EXPECT_FALSE(Name(*run, "Copy").isVisible());
  EXPECT_TRUE(Name(*run, "Zip").isVisible());
  EXPECT_TRUE(Red(Name(*run, "Zip")));
  EXPECT_FALSE(Button(*run, 1).isEnabled());
  QTest::keyClicks(&Name(*run, "Zip"), QStringLiteral("Napi"));
  EXPECT_FALSE(Red(Name(*run, "Zip")));
  EXPECT_TRUE(Button(*run, 1).isEnabled());
}

TEST_F(BackupRunTest, TypedFolderAndNameChangeOnlyThisRun) {
  Source("src/a.txt", 5000);
  WriteJobs({{"Napi", dir / "src", dir / "stored", "Napi"}});
  const std::string before = test::TempDir::Read(jobFile);
  auto run = Open({"Napi"});

  Folder(*run, "Napi").Edit().clear();
  QTest::keyClicks(&Folder(*run, "Napi").Edit(), QString::fromStdString(dir / "typed"));
  Name(*run, "Napi").clear();
  QTest::keyClicks(&Name(*run, "Napi"), QStringLiteral("Egyszeri"));
  RunToEnd(*run);

  EXPECT_TRUE(UnzipTests(dir / "typed/Egyszeri.Zip"));
  EXPECT_FALSE(fs::exists(dir / "stored"));
  EXPECT_EQ(test::TempDir::Read(jobFile), before);
  EXPECT_EQ(run->ErrorLines(), 0);
  EXPECT_TRUE(fs::exists(dir / "Log.Txt"));
}

// A disabled job is never picked by the engine: its row is skipped and the
// run goes on with the next one instead of waiting there for ever.
TEST_F(BackupRunTest, DisabledRowIsShownAndSkipped) {
  Source("one/a.txt", 3000);
  Source("three/c.txt", 3000);
  WriteJobs({{"One", dir / "one", dir / "out", "One"},
             {"Two", dir / "one", dir / "out", "Two", TZkSaveMode::tmZip, true},
             {"Three", dir / "three", dir / "out", "Three"}});
  auto run = Open({"One", "Two", "Three"});

  EXPECT_EQ(Bar(*run, "Two").DisplayText(), QStringLiteral("tiltva"));
  EXPECT_FALSE(Bar(*run, "Two").isEnabled());
  EXPECT_FALSE(Folder(*run, "Two").isEnabled());
  RunToEnd(*run);

  EXPECT_EQ(run->result(), QDialog::Accepted);
  EXPECT_TRUE(run->RunCompleted());
  EXPECT_TRUE(UnzipTests(dir / "out/One.Zip"));
  EXPECT_TRUE(UnzipTests(dir / "out/Three.Zip"));
  EXPECT_FALSE(fs::exists(dir / "out/Two.Zip"));
}

TEST_F(BackupRunTest, UnknownJobNameIsRefused) {
  WriteJobs({{"Napi", "", dir / "out", "Napi"}});
  TBackupRun run(actions);
  run.SetJobFile(jobFile);
  run.AddRow("NAPI");
  try {
    run.AddRow("Heti");
    FAIL() << "a row for a missing job";
  } catch (const std::exception& error) {
    EXPECT_STREQ(error.what(), "Nincs Heti nevű mentés");
  }
  EXPECT_EQ(run.RowCount(), 1);
}

TEST_F(BackupRunTest, ErrorLinesOfTheRunAreCounted) {
  // The target folder cannot be made below a file.
  Source("src/a.txt", 100);
  WriteJobs({{"Napi", dir / "src", dir / "src/a.txt/out", "Napi"}});
  auto run = Open({"Napi"});
  RunToEnd(*run);
  EXPECT_GT(run->ErrorLines(), 0);
  EXPECT_EQ(run->ErrorFilename(), dir / "Error.Txt");
  EXPECT_FALSE(test::TempDir::Read(dir / "Error.Txt").empty());
}

TEST_F(BackupRunTest, WindowGrowsPerRowUpToItsLimit) {
  std::vector<JobSpec> specs;
  std::vector<std::string> names;
  for (int i = 0; i < 30; ++i) {
    names.push_back("Job" + std::to_string(i));
    specs.push_back({names.back(), "", dir / "out", names.back()});
  }
  WriteJobs(specs);
  struct Case {
    int Rows;
    int Height;
  };
  for (const Case& c : {Case{1, 112}, Case{3, 156}, Case{30, 473}}) {
    TBackupRun run(actions);
    run.SetJobFile(jobFile);
    for (int i = 0; i < c.Rows; ++i) run.AddRow(names[static_cast<std::size_t>(i)]);
    EXPECT_EQ(run.height(), c.Height) << c.Rows << " rows";
    run.show();
    QApplication::processEvents();
    // The rows reach across the visible width: no empty strip beside them.
    const QRect bar = Bar(run, names[static_cast<std::size_t>(c.Rows - 1)]).geometry();
    const QWidget* viewport = run.findChild<QScrollArea*>(QStringLiteral("ScrollBox1"))->viewport();
    EXPECT_EQ(bar.top(), 22 * (c.Rows - 1) + 1);
    EXPECT_EQ(bar.height(), 21);
    EXPECT_EQ(bar.right(), viewport->width() - 5) << c.Rows << " rows";
    EXPECT_GE(viewport->width(), run.width() - 20) << c.Rows << " rows";
  }
}

TEST_F(BackupRunTest, NoWaitsIsRememberedAndSetByTheSwitch) {
  Source("src/a.txt", 100);
  WriteJobs({{"Napi", dir / "src", dir / "out", "Napi"}});
  {
    auto run = Open({"Napi"});
    EXPECT_FALSE(NoWaitsBox(*run).isChecked());
    RunToEnd(*run);
    EXPECT_FALSE(run->Save().Throttle);
  }
  {
    auto run = Open({"Napi"});
    EXPECT_TRUE(NoWaitsBox(*run).isChecked());
    NoWaitsBox(*run).setChecked(false);
    gate.Open();
    Click(Button(*run, 1));
    ZK_WAIT_FOR(!run->isVisible());
    EXPECT_TRUE(run->Save().Throttle);
  }
  auto run = Open({"Napi"});
  EXPECT_FALSE(NoWaitsBox(*run).isChecked());
  run->SetNoThrottle(true);
  EXPECT_TRUE(NoWaitsBox(*run).isChecked());
}

// The computer is powered off only after a run that ended with the box
// checked; "Mégsem" and an abort uncheck it.
TEST_F(BackupRunTest, PowerOffOnlyAfterACompletedRunWithTheBoxChecked) {
  Source("src/a.txt", 100);
  WriteJobs({{"Napi", dir / "src", dir / "out", "Napi"}});
  enum class End { Completed, Cancelled, Aborted };
  struct Case {
    End How;
    bool Checked;
    std::size_t PowerOffs;
  };
  for (const Case& c : {Case{End::Completed, true, 1}, Case{End::Completed, false, 0},
                        Case{End::Cancelled, true, 0}, Case{End::Aborted, true, 0}}) {
    session.EndedSessions.clear();
    GateSleeper held;
    TZkActionPlatform platform{held, services, session, programs};
    auto run = std::make_unique<TBackupRun>(platform);
    run->SetJobFile(jobFile);
    run->AddRow("Napi");
    run->show();
    ZK_WAIT_FOR(!Folder(*run, "Napi").Text().isEmpty());
    EXPECT_FALSE(ShutDownBox(*run).isChecked());
    ShutDownBox(*run).setChecked(c.Checked);
    if (c.How == End::Completed) {
      RunToEnd(*run);
    } else if (c.How == End::Cancelled) {
      Click(Button(*run, 2));
    } else {
      NoWaitsBox(*run).setChecked(false);
      Click(Button(*run, 1));
      ZK_WAIT_FOR(held.Held());
      test::AnswerNextDialog([](QWidget& box) {
        EXPECT_EQ(test::MessageBoxText(box), QStringLiteral("Magszakítja a mentést ?"));
        test::ClickButton(box, QStringLiteral("Yes"));
      });
      Click(Button(*run, 3));
      held.Open();
    }
    ZK_WAIT_FOR(!run->isVisible());
    EXPECT_EQ(run->ShutDownIfChecked(), c.PowerOffs == 1);
    run.reset();
    EXPECT_EQ(session.EndedSessions.size(), c.PowerOffs) << static_cast<int>(c.How) << " " << c.Checked;
  }
}

TEST_F(BackupRunTest, AbortAnsweredNoLetsTheRunGoOn) {
  Source("src/a.txt", 100);
  WriteJobs({{"Napi", dir / "src", dir / "out", "Napi"}});
  auto run = Open({"Napi"});
  Click(Button(*run, 1));
  ZK_WAIT_FOR(gate.Held());
  EXPECT_FALSE(Button(*run, 1).isEnabled());
  EXPECT_FALSE(Button(*run, 2).isEnabled());
  test::AnswerNextDialog([](QWidget& box) { test::ClickButton(box, QStringLiteral("No")); });
  Click(Button(*run, 3));
  EXPECT_TRUE(run->isVisible());
  gate.Open();
  ZK_WAIT_FOR(!run->isVisible());
  EXPECT_TRUE(run->RunCompleted());
  EXPECT_TRUE(UnzipTests(dir / "out/Napi.Zip"));
}

// Read at each of the engine's waits: the row bar follows the job's bytes,
// the bottom bar names the file, and the copy of the archive from the work
// folder shows as "Copy ".
TEST_F(BackupRunTest, BarsShowTheRunAsItGoes) {
  Source("first/a.bin", 42000);
  Source("second/b.bin", 58000);
  TZkThreadSaveTasks jobs;
  TZkThreadSaveTask& job = NapiJob(jobs, {"first", "second"});
  job.DefineOutput().Temp = dir / "work";
  fs::create_directories(dir / "work");
  WriteJobFile(jobFile, jobs);
  auto run = Open({"Napi"});

  Click(Button(*run, 1));
  std::vector<std::pair<QString, QString>> seen;
  while (run->isVisible()) {
    if (!QTest::qWaitFor([&] { return gate.Held() || !run->isVisible(); }, 10000)) break;
    // The window shows what came at most a screen refresh later.
    ZK_WAIT_FOR(!run->ProgressPending());
    QApplication::processEvents();
    seen.emplace_back(Bar(*run, "Napi").DisplayText(), BottomBar(*run).DisplayText());
    gate.Release();
  }
  gate.Open();
  ZK_WAIT_FOR(!run->isVisible());

  const auto saw = [&](const QString& row, const QString& bottom) {
    for (const auto& [r, b] : seen)
      if (r == row && b.endsWith(bottom)) return true;
    return false;
  };
  EXPECT_TRUE(saw(QStringLiteral("42 %"), QStringLiteral("a.bin")));
  EXPECT_TRUE(saw(QStringLiteral("100 %"), QStringLiteral("b.bin")));
  // The copy raises no "before add", so the bottom bar keeps the last file.
  EXPECT_TRUE(saw(QStringLiteral("Copy 100 %"), QStringLiteral("b.bin")));
  EXPECT_TRUE(UnzipTests(dir / "out/Napi.Zip"));
}

// The upload to the remote target, slowed by an rclone in PATH, moves the
// job's bar as its bytes go.
TEST_F(BackupRunTest, TheUploadMovesTheRowsBar) {
  if (!test::HaveRclone()) GTEST_SKIP() << "rclone is not installed";
  const test::TRcloneServer server(dir / "nas", dir.Path().string());
  ASSERT_TRUE(server.Up());
  std::string noise(3 << 20, '\0');
  std::mt19937 random(9);
  for (char& c : noise) c = static_cast<char>(random());
  dir.Write("src/noise.bin", noise);
  TZkThreadSaveTasks jobs;
  TZkThreadSaveTask& job = NapiJob(jobs, {"src"});
  job.DefineOutput().RemoteTarget = "testnas:mentes";
  WriteJobFile(jobFile, jobs);
  const test::TEnvironmentVariable path("PATH", test::SlowRcloneFolder(dir.Path()) + ":" + std::getenv("PATH"));
  auto run = Open({"Napi"});

  NoWaitsBox(*run).setChecked(true);
  Click(Button(*run, 1));
  std::vector<int> sent;
  while (run->isVisible()) {
    QTest::qWait(50);
    const QString text = Bar(*run, "Napi").DisplayText();
    if (text.startsWith(QStringLiteral("Copy "))) sent.push_back(text.mid(5).section(QLatin1Char(' '), 0, 0).toInt());
    ASSERT_LT(sent.size(), 1000u) << "the run did not end";
  }
  EXPECT_EQ(test::TempDir::Read(dir / "nas/mentes/Napi.Zip"), test::TempDir::Read(dir / "out/Napi.Zip"));
  ASSERT_FALSE(sent.empty());
  EXPECT_TRUE(std::is_sorted(sent.begin(), sent.end()));
  EXPECT_TRUE(std::any_of(sent.begin(), sent.end(), [](int p) { return p > 0 && p < 100; }));
}

// An abort in the middle of a file, the window destroyed at once while the
// worker may still be inside a handler: destruction waits for the worker.
TEST_F(BackupRunTest, TornDownWhileAHandlerRuns) {
  Source("src/big.bin", 3 * 1000 * 1000);
  WriteJobs({{"Napi", dir / "src", dir / "out", "Napi"}});
  for (int round = 0; round < 15; ++round) {
    auto run = Open({"Napi"});
    NoWaitsBox(*run).setChecked(true);
    TZkThreadSave& save = run->Save();
    save.OnActionAddFile = [inner = save.OnActionAddFile](TZkThreadSave& sender, TZkThreadActiveTask& task) {
      inner(sender, task);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    };
    Click(Button(*run, 1));
    ZK_WAIT_FOR(BottomBar(*run).DisplayText().endsWith(QStringLiteral("big.bin")));
    test::AnswerNextDialog([](QWidget& box) { test::ClickButton(box, QStringLiteral("Yes")); });
    Click(Button(*run, 3));
    EXPECT_FALSE(run->ShutDownIfChecked());
    run.reset();
  }
  EXPECT_FALSE(fs::exists(dir / "out/Napi.Zip"));
  EXPECT_TRUE(session.EndedSessions.empty());
}

// The main window's hook: rows in the order handed over, the run to its
// end with the waits off, the power-off once after the window closed.
TEST_F(BackupRunTest, RunJobsRunsTheNamedJobsAndPowersOffOnce) {
  Source("src/a.txt", 2000);
  WriteJobs({{"Napi", dir / "src", dir / "out", "Napi"}, {"Heti", dir / "src", dir / "out", "Heti"}});
  std::vector<QString> rows;
  test::AnswerNextDialog([&rows](QWidget& window) {
    auto& run = dynamic_cast<TBackupRun&>(window);
    ASSERT_TRUE(NoWaitsBox(run).isChecked());
    for (TZkLabel* label : run.findChildren<TZkLabel*>()) rows.push_back(label->text());
    ShutDownBox(run).setChecked(true);
    Click(Button(run, 1));
  });
  const TRunOutcome outcome = RunJobs(nullptr, actions, jobFile, {"Heti", "Napi"}, true);

  EXPECT_EQ(rows, (std::vector<QString>{QStringLiteral("Heti"), QStringLiteral("Napi")}));
  EXPECT_TRUE(outcome.Completed);
  EXPECT_TRUE(outcome.PoweredOff);
  EXPECT_EQ(outcome.ErrorLines, 0);
  EXPECT_EQ(session.EndedSessions.size(), 1U);
  EXPECT_TRUE(UnzipTests(dir / "out/Napi.Zip"));
  EXPECT_TRUE(UnzipTests(dir / "out/Heti.Zip"));
}

}  // namespace
}  // namespace zk::ui

namespace zk::ui {
namespace {

// A job whose own schedule comes due during the run and ends takes a turn
// of the run, but counts for no row: a row that never ran means no
// power-off.
TEST_F(BackupRunTest, NoPowerOffWhenAScheduledJobTookARowsTurn) {
  Source("src/a.txt", 100);
  WriteJobs({{"Napi", dir / "src", dir / "out", "Napi"},
             {"Heti", dir / "src", dir / "out", "Heti"},
             {"Esti", dir / "src", dir / "out", "Esti"}});
  {
    // Esti comes due 1.5 s from now; the engine looks at it before Heti.
    TZkThreadSaveTasks jobs;
    ReadJobFile(jobFile, jobs);
    const TDateTime due = platform::SystemClock().Now() + 1.5 / 86400;
    TZkThreadSaveTimering& entry = jobs.Items(2).TimerList().Add();
    entry.SetName("Hamarosan");
    entry.SetTimerType(TZkSaveTimerType::ttOne);
    entry.SetDate(DateOf(due));
    entry.SetTime(TimeOf(due));
    WriteJobFile(jobFile, jobs);
  }
  auto run = Open({"Napi", "Heti"});
  ShutDownBox(*run).setChecked(true);
  Click(Button(*run, 1));
  ZK_WAIT_FOR(gate.Held());
  QTest::qWait(2000);
  gate.Open();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !run->isVisible(); }, 30000));
  EXPECT_TRUE(fs::exists(dir / "out/Napi.Zip"));
  EXPECT_FALSE(run->RunCompleted());
  EXPECT_FALSE(run->ShutDownIfChecked());
  run.reset();
  EXPECT_TRUE(session.EndedSessions.empty());
}

// A launcher whose program keeps running a while after the stop: the wait
// ends when the test lets it.
class SlowToEndPrograms : public platform::TZkFakePrograms {
public:
  bool RunAndWait(const std::string&, const std::string&, const std::string&, const TStopWaiting& stop) override {
    waiting = true;
    while (!(stop && stop()) || !release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
  }
  std::atomic<bool> waiting{false};
  std::atomic<bool> release{false};
};

// "Megszakítás" while an action waits for a program: the window stays and
// answers, says what it waits for, and closes once the worker has ended.
TEST_F(BackupRunTest, AbortWhileAProgramRunsKeepsTheWindowAnswering) {
  Source("src/a.txt", 100);
  TZkThreadSaveTasks jobs;
  TZkThreadSaveTask& job = NapiJob(jobs, {"src"});
  TZkThreadSaveFunc& wait = job.BeginFuncList().Add();
  wait.SetFuncType(TZkSaveFunc::seExeRunWait);
  wait.SetParam1("/usr/bin/sleep");
  wait.SetParam2("1000");
  WriteJobFile(jobFile, jobs);
  SlowToEndPrograms slow;
  const TZkActionPlatform platform{gate, services, session, slow};
  TBackupRun run(platform);
  run.SetJobFile(jobFile);
  run.AddRow("Napi");
  run.show();
  QApplication::processEvents();
  NoWaitsBox(run).setChecked(true);
  Click(Button(run, 1));
  ZK_WAIT_FOR(slow.waiting.load());

  test::AnswerNextDialog([](QWidget& box) { test::ClickButton(box, QStringLiteral("Yes")); });
  Click(Button(run, 3));
  // Back from the click with the worker still waiting: nothing froze.
  EXPECT_TRUE(run.isVisible());
  EXPECT_FALSE(Button(run, 3).isEnabled());
  EXPECT_TRUE(BottomBar(run).DisplayText().contains(QStringLiteral("várakozás a futó program")))
      << BottomBar(run).DisplayText().toStdString();
  QTest::keyClick(&run, Qt::Key_Escape);
  QTest::qWait(100);
  EXPECT_TRUE(run.isVisible());

  slow.release = true;
  ZK_WAIT_FOR(!run.isVisible());
  EXPECT_FALSE(run.RunCompleted());
  EXPECT_FALSE(fs::exists(dir / "out/Napi.Zip"));
}

// A long name is cut where the folder field starts, whole in its tooltip;
// on a dark theme the fields keep its colours and a missing value is red
// on the dark side.
TEST_F(BackupRunTest, LongNamesAreCutAndTheColoursFollowThePalette) {
  const std::string longName(60, 'n');
  WriteJobs({{longName, "", "", "x"}, {"Rövid", "", dir / "out", ""}});
  const QPalette light = QApplication::palette();
  QPalette dark = light;
  dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
  dark.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
  QApplication::setPalette(dark);
  test::AnswerNextDialog([](QWidget& picker) { picker.close(); });  // no folder picked
  auto run = Open({longName, "Rövid"}, false);
  ZK_WAIT_FOR(Red(Folder(*run, longName).Edit()));

  TZkLabel* label = nullptr;
  for (TZkLabel* candidate : run->findChildren<TZkLabel*>())
    if (candidate->toolTip() == QString::fromStdString(longName)) label = candidate;
  ASSERT_NE(label, nullptr);
  EXPECT_TRUE(label->text().endsWith(QChar(0x2026))) << label->text().toStdString();
  EXPECT_LE(label->geometry().right(), Folder(*run, longName).geometry().left());

  const QColor valid = Name(*run, longName).palette().color(QPalette::Base);
  EXPECT_EQ(valid, dark.color(QPalette::Base));
  const QColor missing = Folder(*run, longName).Edit().palette().color(QPalette::Base);
  EXPECT_TRUE(Red(Folder(*run, longName).Edit())) << missing.name().toStdString();
  EXPECT_LT(missing.lightness(), 128) << missing.name().toStdString();  // the light text reads on it
  QApplication::setPalette(light);
}

}  // namespace
}  // namespace zk::ui

namespace zk::ui {
namespace {

// With Qt's Hungarian translation the abort question answers in Hungarian.
TEST_F(BackupRunTest, TheAbortQuestionReadsHungarian) {
  const std::unique_ptr<QTranslator> translation = InstallQtTranslation();
  if (translation == nullptr) GTEST_SKIP() << "no Hungarian translation of Qt installed (qt6-translations-l10n)";
  Source("src/a.txt", 100);
  WriteJobs({{"Napi", dir / "src", dir / "out", "Napi"}});
  auto run = Open({"Napi"});
  Click(Button(*run, 1));
  ZK_WAIT_FOR(gate.Held());
  QStringList buttons;
  test::AnswerNextDialog([&buttons](QWidget& box) {
    for (const QAbstractButton* button : box.findChildren<QAbstractButton*>()) buttons << button->text();
    test::ClickButton(box, QStringLiteral("&Nem"));
  });
  Click(Button(*run, 3));
  buttons.sort();
  EXPECT_EQ(buttons, (QStringList{QStringLiteral("&Igen"), QStringLiteral("&Nem")}));
  EXPECT_TRUE(run->isVisible());
  gate.Open();
  ZK_WAIT_FOR(!run->isVisible());
}

}  // namespace
}  // namespace zk::ui
