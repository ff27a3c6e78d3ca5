// The main window's and the about box's pictures (scripts/screenshots.sh).

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>

#include "platform/ZkFakeDesktopBus.h"
#include "support/ZkScreenshots.h"
#include "ui/app/ZkQtText.h"
#include "ui/main/BackupMain.h"
#include "ui/main/BackupStartup.h"
#include "ui/main/Nevjegy.h"
#include "util/ZkUtilFile.h"

namespace {

bool WriteFile(const QString& path, const QByteArray& content) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// Sample jobs: one whose last run completed, one stopped, one incomplete,
// others never run; the daily one has had no good run for long.
bool WriteSampleJobs(const QDir& folder) {
  return WriteFile(folder.filePath(QStringLiteral("Backup.Xml")),
                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Saving>\n"
                   "  <Item Name=\"Napi mentés\"><TimerList><Item Name=\"Este\"><TimerType>0</TimerType>"
                   "<Time>0,916666666666667</Time></Item></TimerList></Item>\n  <Item Name=\"Heti összesítés\"/>\n"
                   "  <Item Name=\"Dokumentumok\"/>\n  <Item Name=\"Fényképek\"/>\n  <Item Name=\"Levelezés\"/>\n"
                   "</Saving>\n") &&
         WriteFile(folder.filePath(QStringLiteral("Backup.Ini")),
                   "[Napi mentés]\r\nHistory=Ok;2024.01.05;09:07;Global;/home/anna/mentes/Napi.Zip\r\n"
                   "[Heti összesítés]\r\nHistory=Stopped;2024.01.06;18:30;Update;/home/anna/mentes/Heti.Zip\r\n"
                   "[Fényképek]\r\nHistory=Incomplete;2024.01.07;20:00;Global;/home/anna/mentes/Kepek.Zip\r\n");
}

}  // namespace

bool zk::ui::screenshots::SaveMainWindow(const QDir& folder) {
  QTemporaryDir jobs;
  if (!jobs.isValid() || !WriteSampleJobs(QDir(jobs.path()))) return false;
  zk::ui::TBackupStartup startup;
  startup.Files.JobFile = zk::ui::ToUtf8(QDir(jobs.path()).filePath(QStringLiteral("Backup.Xml")));
  startup.Files.IniFile = zk::ui::ToUtf8(QDir(jobs.path()).filePath(QStringLiteral("Backup.Ini")));
  startup.Arguments = {"Backup"};

  // The background scheduler installed but not running.
  zk::platform::TZkFakeUserScheduler scheduler;
  scheduler.IsInstalled = true;
  zk::ui::TBackupForm main;
  main.SetScheduler(&scheduler);
  main.FormCreate(startup);
  main.ListView().item(1)->setSelected(true);
  bool ok = Save(main, folder, "main-window");
  zk::ui::TNEvjegyForm about(&main, zk::GetFileVersionText(""), "/home/anna/.config/backup/Backup.Xml");
  ok = Save(about, folder, "about-box") && ok;

  // The first start: no job file yet, so an empty one is made.
  QTemporaryDir first;
  if (!first.isValid()) return false;
  zk::ui::TBackupStartup empty;
  empty.Files.JobFile = zk::ui::ToUtf8(QDir(first.path()).filePath(QStringLiteral("Backup.Xml")));
  empty.Files.IniFile = zk::ui::ToUtf8(QDir(first.path()).filePath(QStringLiteral("Backup.Ini")));
  empty.Arguments = {"Backup"};
  zk::ui::TBackupForm start;
  start.FormCreate(empty);
  ok = Save(start, folder, "main-first-start") && ok;
  return ok;
}
