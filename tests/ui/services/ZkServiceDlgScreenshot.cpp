// The service list's picture (scripts/screenshots.sh).

#include <QDir>
#include <QTreeWidget>
#include <cstdint>

#include "platform/ZkClock.h"
#include "platform/ZkFakeServiceControl.h"
#include "support/ZkScreenshots.h"
#include "ui/services/ZkServiceDlg.h"

namespace {

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

bool zk::ui::screenshots::SaveServiceList(const QDir& folder) {
  zk::platform::TZkFakeServiceControl serviceManager;
  AddSampleServices(serviceManager);
  const zk::TZkServiceContext serviceContext{serviceManager, zk::platform::SystemSleeper()};
  zk::ui::TZkServiceForm services(serviceContext, zk::ui::ServiceAction::saControl,
                                  {zk::ui::ServiceColumn::scDisplayName, zk::ui::ServiceColumn::scState});
  services.show();
  services.ListView().setCurrentItem(services.ListView().topLevelItem(2));
  return Save(services, folder, "service-list");
}
