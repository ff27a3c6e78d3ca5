// Renders the windows offscreen, in a fixed state, to PNG files in the
// folder given: what the README shows and what a reviewer looks at.

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTreeWidget>
#include <QWidget>
#include <cstdint>
#include <cstdio>

#include "platform/ZkClock.h"
#include "platform/ZkFakeServiceControl.h"
#include "ui/BackupMain.h"
#include "ui/ZkServiceDlg.h"

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

// The services of a small server, in every state the list tells apart.
void AddSampleServices(zk::platform::TZkFakeServiceControl& manager) {
  using namespace zk::platform;
  const struct {
    const char* Name;
    const char* DisplayName;
    std::uint32_t State;
    std::uint32_t Start;
    const char* Program;
  } services[] = {
      {"cron", "Időzített feladatok", kServiceRunning, kServiceAutoStart, "/usr/sbin/cron -f"},
      {"cups", "Nyomtatási szolgáltatás", kServiceRunning, kServiceAutoStart, "/usr/sbin/cupsd -l"},
      {"backup-agent", "Mentési ügynök", kServicePaused, kServiceDemandStart, "/usr/bin/backup-agent"},
      {"bluetooth", "Bluetooth-szolgáltatás", kServiceStopped, kServiceDisabled, "/usr/libexec/bluetoothd"},
      {"ssh", "Biztonságos távoli bejelentkezés", kServiceRunning, kServiceAutoStart, "/usr/sbin/sshd -D"},
      {"postgresql", "Adatbázis-kiszolgáló", kServiceStartPending, kServiceAutoStart, "/usr/lib/postgresql"},
      {"smbd", "Fájlmegosztás", kServiceStopped, kServiceDemandStart, "/usr/sbin/smbd --foreground"},
      {"rsync", "Fájlszinkronizálás", kServiceStopped, kServiceDemandStart, "/usr/bin/rsync --daemon"},
  };
  for (const auto& s : services) {
    auto& service = manager.AddService(s.Name, s.DisplayName, s.State);
    service.Config.StartType = s.Start;
    service.Config.BinaryPathName = s.Program;
  }
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

  bool ok = true;
  zk::ui::TBackupForm main;
  ok = Save(main, folder, "main-window") && ok;

  zk::platform::TZkFakeServiceControl serviceManager;
  AddSampleServices(serviceManager);
  const zk::TZkServiceContext serviceContext{serviceManager, zk::platform::SystemSleeper()};
  zk::ui::TZkServiceForm services(serviceContext, zk::ui::ServiceAction::saControl,
                                  {zk::ui::ServiceColumn::scDisplayName, zk::ui::ServiceColumn::scState});
  services.show();
  services.ListView().setCurrentItem(services.ListView().topLevelItem(2));
  ok = Save(services, folder, "service-list") && ok;
  return ok ? 0 : 1;
}
