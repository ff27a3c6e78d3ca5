// Renders the windows offscreen, in a fixed state, to PNG files in the
// folder given: what the README shows and what a reviewer looks at.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPixmap>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdio>

#include "ui/BackupMain.h"
#include "ui/BackupStartup.h"
#include "ui/Nevjegy.h"
#include "ui/ZkQtText.h"
#include "util/ZkUtilFile.h"

namespace {

bool Save(QWidget& window, const QDir& folder, const char* name) {
  window.show();
  QApplication::processEvents();
  const QString path = folder.filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
  if (!window.grab().save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

bool WriteFile(const QString& path, const QByteArray& content) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// Sample jobs: one whose last run completed, one stopped, others never run.
bool WriteSampleJobs(const QDir& folder) {
  return WriteFile(folder.filePath(QStringLiteral("Backup.Xml")),
                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Saving>\n"
                   "  <Item Name=\"Napi mentés\"/>\n  <Item Name=\"Heti összesítés\"/>\n"
                   "  <Item Name=\"Dokumentumok\"/>\n  <Item Name=\"Fényképek\"/>\n  <Item Name=\"Levelezés\"/>\n"
                   "</Saving>\n") &&
         WriteFile(folder.filePath(QStringLiteral("Backup.Ini")),
                   "[Napi mentés]\r\nHistory=Ok;2024.01.05;09:07;Global;/home/anna/mentes/Napi.Zip\r\n"
                   "[Heti összesítés]\r\nHistory=Stopped;2024.01.06;18:30;Update;/home/anna/mentes/Heti.Zip\r\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  if (!folder.mkpath(QStringLiteral("."))) return 1;

  QTemporaryDir jobs;
  if (!jobs.isValid() || !WriteSampleJobs(QDir(jobs.path()))) return 1;
  zk::ui::TBackupStartup startup;
  startup.Files.JobFile = zk::ui::ToUtf8(QDir(jobs.path()).filePath(QStringLiteral("Backup.Xml")));
  startup.Files.IniFile = zk::ui::ToUtf8(QDir(jobs.path()).filePath(QStringLiteral("Backup.Ini")));
  startup.Arguments = {"Backup"};

  bool ok = true;
  zk::ui::TBackupForm main;
  main.FormCreate(startup);
  main.ListView().item(1)->setSelected(true);
  ok = Save(main, folder, "main-window") && ok;

  zk::ui::TNEvjegyForm about(&main, zk::GetFileVersionText(""), "/home/anna/.config/backup/Backup.Xml");
  ok = Save(about, folder, "about-box") && ok;
  return ok ? 0 : 1;
}
