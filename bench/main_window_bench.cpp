// The main window's start on a large job file: reading 2,000 jobs and
// listing them sorted by name, as a user waits for it.

#include <benchmark/benchmark.h>

#include <QListWidget>
#include <QTemporaryDir>

#include <fstream>
#include <string>

#include "ui/main/BackupMain.h"
#include "ui/main/BackupStartup.h"

namespace {

std::string JobFile(int jobs) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Saving>";
  for (int i = 0; i < jobs; ++i) {
    const std::string n = std::to_string((i * 7919) % jobs);
    xml += "<Item Name=\"Mentés " + n + "\"><OutputFolder>/srv/mentés/" + n +
           "</OutputFolder><PackMode>1</PackMode><AddFiles><Item name=\"/home/anna/adat/*.*\"/></AddFiles>"
           "<TimerList><Item name=\"Este\"><TimerType>0</TimerType></Item></TimerList></Item>";
  }
  return xml + "</Saving>";
}

void StartAndList(benchmark::State& state) {
  QTemporaryDir folder;
  const std::string path = folder.filePath(QStringLiteral("Backup.Xml")).toStdString();
  std::ofstream(path) << JobFile(static_cast<int>(state.range(0)));
  const zk::ui::TBackupStartup startup = zk::ui::ParseBackupArguments({"Backup", "--jobs", path});
  for (auto _ : state) {
    zk::ui::TBackupForm form;
    form.FormCreate(startup);
    if (form.ListView().count() != state.range(0)) state.SkipWithError("not every job is listed");
  }
}
BENCHMARK(StartAndList)->Arg(2000)->Unit(benchmark::kMillisecond);

}  // namespace
