// The run window's picture (scripts/screenshots.sh).

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPalette>
#include <QTemporaryDir>
#include <string>
#include <atomic>
#include <cstdio>
#include <future>

#include "engine/ZkThreadSave.h"
#include "platform/ZkClock.h"
#include "platform/ZkFakePrograms.h"
#include "platform/ZkFakeServiceControl.h"
#include "platform/ZkFakeSessionEnder.h"
#include "support/ZkScreenshots.h"
#include "ui/run/BackupRunUnit.h"

namespace {

// The run window before the start, with a job of a 60-character name and
// one without a file name (its field shows as missing).
bool SaveRowsBeforeTheStart(const QDir& folder, const char* name) {
  QTemporaryDir temp;
  const std::string jobFile = temp.filePath(QStringLiteral("Backup.Xml")).toStdString();
  zk::TZkThreadSaveTasks jobs;
  zk::TZkThreadSaveTask& longOne = jobs.Add();
  longOne.Name = "Dokumentumok, levelek és a teljes családi fényképalbum, 2024";
  longOne.DefineOutput().OutputFolder = "/home/anna/mentes";
  longOne.DefineOutput().FileName = "csalad";
  zk::TZkThreadSaveTask& unnamed = jobs.Add();
  unnamed.Name = "Napi";
  unnamed.DefineOutput().OutputFolder = "/home/anna/mentes";
  zk::WriteJobFile(jobFile, jobs);

  zk::platform::TZkFakeServiceControl services;
  zk::platform::TZkFakeSessionEnder session;
  zk::platform::TZkFakePrograms programs;
  const zk::TZkActionPlatform platform{zk::platform::SystemSleeper(), services, session, programs};
  zk::ui::TBackupRun run(platform);
  run.SetJobFile(jobFile);
  run.AddRow(longOne.Name);
  run.AddRow("Napi");
  run.show();
  QApplication::processEvents();
  return zk::ui::screenshots::Save(run, folder, name);
}

}  // namespace

bool zk::ui::screenshots::SaveRunWindow(const QDir& folder) {
  QTemporaryDir temp;
  const auto path = [&temp](const char* name) { return temp.filePath(QString::fromLatin1(name)).toStdString(); };
  const auto write = [&](const char* name, qsizetype size) {
    QDir().mkpath(QFileInfo(QString::fromStdString(path(name))).path());
    QFile file(QString::fromStdString(path(name)));
    return file.open(QIODevice::WriteOnly) && file.write(QByteArray(size, 'x')) == size;
  };
  if (!write("docs/level.txt", 420000) || !write("docs/report.txt", 580000) || !write("photos/a.jpg", 1000))
    return false;
  zk::TZkThreadSaveTasks jobs;
  const auto add = [&](const char* name, const char* source, bool disabled) {
    zk::TZkThreadSaveTask& job = jobs.Add();
    job.Name = name;
    job.Disable = disabled;
    job.AddFiles().Add().Name = path(source) + "/";
    job.DefineOutput().OutputFolder = path("out");
    job.DefineOutput().FileName = name;
  };
  add("Dokumentumok", "docs", false);
  add("Régi képek", "photos", true);
  add("Fényképek", "photos", false);
  zk::WriteJobFile(path("Backup.Xml"), jobs);

  zk::platform::TZkFakeServiceControl services;
  zk::platform::TZkFakeSessionEnder session;
  zk::platform::TZkFakePrograms programs;
  const zk::TZkActionPlatform platform{zk::platform::SystemSleeper(), services, session, programs};
  zk::ui::TBackupRun run(platform);
  run.SetJobFile(path("Backup.Xml"));
  for (const char* name : {"Dokumentumok", "Régi képek", "Fényképek"}) run.AddRow(name);
  run.SetNoThrottle(true);
  std::promise<void> shown;
  std::shared_future<void> taken = shown.get_future().share();
  std::atomic<int> added{0};
  zk::TZkThreadSave& save = run.Save();
  save.OnAfterAddFile = [inner = save.OnAfterAddFile, taken, &added](zk::TZkThreadSave& sender,
                                                                      zk::TZkThreadActiveTask& task) {
    inner(sender, task);
    if (++added == 1) taken.wait();
  };
  run.show();
  QApplication::processEvents();
  run.findChild<QAbstractButton*>(QStringLiteral("SpeedButton1"))->click();
  const auto waitUntil = [](const auto& condition) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!condition() && elapsed.elapsed() < 10000) QApplication::processEvents(QEventLoop::AllEvents, 10);
    return condition();
  };
  bool ok = waitUntil([&] { return added.load() == 1; });
  // The updates the worker posted before it was held; the window shows them
  // at most once a screen refresh, so a few refreshes go by first.
  QElapsedTimer settle;
  settle.start();
  waitUntil([&] { return settle.elapsed() >= 100; });
  ok = ok && Save(run, folder, "run-window");
  shown.set_value();
  const bool ended = waitUntil([&] { return !run.isVisible(); });
  if (!ended) std::fprintf(stderr, "the run window did not close\n");

  ok = SaveRowsBeforeTheStart(folder, "run-window-long-name") && ok;
  // A dark theme: the fields take the palette's colours.
  const QPalette light = QApplication::palette();
  QPalette dark;
  dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
  dark.setColor(QPalette::WindowText, QColor(0xe8, 0xe8, 0xe8));
  dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
  dark.setColor(QPalette::AlternateBase, QColor(0x33, 0x33, 0x33));
  dark.setColor(QPalette::Text, QColor(0xe8, 0xe8, 0xe8));
  dark.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
  dark.setColor(QPalette::ButtonText, QColor(0xe8, 0xe8, 0xe8));
  dark.setColor(QPalette::Highlight, QColor(0x3d, 0x7a, 0xd6));
  dark.setColor(QPalette::HighlightedText, QColor(0xff, 0xff, 0xff));
  dark.setColor(QPalette::PlaceholderText, QColor(0x90, 0x90, 0x90));
  for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    dark.setColor(QPalette::Disabled, role, QColor(0x80, 0x80, 0x80));
  QApplication::setPalette(dark);
  ok = SaveRowsBeforeTheStart(folder, "run-window-dark") && ok;
  QApplication::setPalette(light);
  return ok && ended;
}

