// A keystroke in the settings window writes the whole job file through the
// atomic save: how long that takes on a job file of 200 jobs.

#include <benchmark/benchmark.h>

#include <QLineEdit>
#include <QTemporaryDir>

#include <fstream>
#include <string>

#include "ui/jobs/ZkSetBackupDlg.h"
#include "ui/settings/ZkSetBackupForm.h"

namespace {

// 200 jobs, each with the lists a real job has.
std::string JobFile() {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Saving>";
  for (int i = 0; i < 200; ++i) {
    const std::string n = std::to_string(i);
    xml += "<Item Name=\"Mentés " + n + "\"><OutputFolder>/srv/mentés/" + n +
           "</OutputFolder><PackMode>1</PackMode><AddFiles>";
    for (int f = 0; f < 5; ++f) xml += "<Item name=\"/home/anna/adat" + std::to_string(f) + "/*.*\"><SubDir>1</SubDir></Item>";
    xml += "</AddFiles><ExtractFiles><Item name=\"*.tmp\"/></ExtractFiles><TimerList><Item name=\"Este\">"
           "<TimerType>0</TimerType><Time>0,875</Time></Item></TimerList>"
           "<BeginFuncList><Item name=\"PAUSE;10\"/></BeginFuncList><EndFuncList/></Item>";
  }
  return xml + "</Saving>";
}

void KeystrokeSave(benchmark::State& state) {
  QTemporaryDir folder;
  const std::string path = folder.filePath(QStringLiteral("Backup.Xml")).toStdString();
  std::ofstream(path) << JobFile();
  zk::ui::TZkSetBackupDlg jobs;
  jobs.SetFileName(path);
  jobs.SetSelect("Mentés 100");
  zk::ui::TZkSetBackupForm& form = jobs.OpenWindow();
  form.show();
  auto* field = form.findChild<QLineEdit*>(QStringLiteral("OutputFileName"));
  for (auto _ : state) {
    // One typed character: the window writes the job file at once.
    field->insert(QStringLiteral("x"));
    if (field->text().size() > 40) field->clear();
  }
  form.close();
}
BENCHMARK(KeystrokeSave)->Unit(benchmark::kMillisecond);

}  // namespace
