// Runs jobs of a job file through the run window, offscreen, with the waits
// off, and prints the wall time and the longest stall of the window thread
// while the run's progress streams in: "seconds stall-ms error-lines".
// Usage: ui_run_bench JOBFILE JOB...

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <exception>

#include "engine/ZkSaveFunc.h"
#include "platform/ZkClock.h"
#include "platform/ZkFakePrograms.h"
#include "platform/ZkFakeServiceControl.h"
#include "platform/ZkFakeSessionEnder.h"
#include "ui/run/BackupRunUnit.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s JOBFILE JOB...\n", argv[0]);
    return 2;
  }
  zk::platform::TZkFakeServiceControl services;
  zk::platform::TZkFakeSessionEnder session;
  zk::platform::TZkFakePrograms programs;
  const zk::TZkActionPlatform platform{zk::platform::SystemSleeper(), services, session, programs};
  try {
    zk::ui::TBackupRun run(platform);
    run.SetJobFile(argv[1]);
    for (int i = 2; i < argc; ++i) run.AddRow(argv[i]);
    run.SetNoThrottle(true);
    run.show();
    QApplication::processEvents();
    auto* start = run.findChild<QAbstractButton*>(QStringLiteral("SpeedButton1"));
    if (start == nullptr || !start->isEnabled()) {
      std::fprintf(stderr, "the run cannot start (a row without a folder or name)\n");
      return 1;
    }

    // A tick every 5 ms: the longest gap between two ticks is the longest
    // time the window thread did not get to its events.
    QElapsedTimer sinceTick;
    qint64 longestStall = 0;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
      longestStall = std::max(longestStall, sinceTick.restart());
    });
    QElapsedTimer wall;
    wall.start();
    sinceTick.start();
    ticker.start();
    start->click();
    QEventLoop loop;
    QObject::connect(&run, &QDialog::finished, &loop, &QEventLoop::quit);
    if (run.isVisible()) loop.exec();
    ticker.stop();
    std::printf("%.3f %lld %d\n", static_cast<double>(wall.elapsed()) / 1000.0, static_cast<long long>(longestStall),
                run.ErrorLines());
    return run.RunCompleted() ? 0 : 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
}
