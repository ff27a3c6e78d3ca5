// The settings window's pictures, one a page (scripts/screenshots.sh).

#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>

#include "support/ZkScreenshots.h"
#include "ui/jobs/ZkSetBackupDlg.h"
#include "ui/settings/ZkSetBackupForm.h"

namespace {

// A job with an entry in every list, its daily schedule with its own output.
constexpr char kSampleJob[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Saving><Item Name=\"Napi\">"
    "<OutputFolder>/srv/mentés/napi</OutputFolder><OutputFolderDate>1</OutputFolderDate>"
    "<CreateLogFile>1</CreateLogFile><FileName>Könyvelés</FileName><FileNameDate>1</FileNameDate>"
    "<DuplicateFolder>/mnt/külső/másolat</DuplicateFolder>"
    "<AddFiles><Item name=\"/home/anna/Dokumentumok/*.*\"/><Item name=\"/home/anna/könyvelés.ods\"/></AddFiles>"
    "<ExtractFiles><Item name=\"*.tmp\"/><Item name=\"*.bak\"/></ExtractFiles>"
    "<TimerList><Item name=\"Hétköznap este\"><TimerType>1</TimerType><Time>0,875</Time><Dows>31</Dows>"
    "<ExtendedSaving>1</ExtendedSaving><OutputFolder>/srv/mentés/hét</OutputFolder></Item></TimerList>"
    "<BeginFuncList><Item name=\"STOP_SERVICE;postgresql;\"/><Item name=\"PAUSE;10\"/></BeginFuncList>"
    "<EndFuncList><Item name=\"START_SERVICE;postgresql;\"/><Item name=\"SHUTDOWN\"/></EndFuncList>"
    "</Item></Saving>";

}  // namespace

// Every page of the settings window, one picture each.
bool zk::ui::screenshots::SaveSettingsPages(const QDir& folder) {
  QTemporaryDir scratch;
  QFile file(scratch.filePath(QStringLiteral("Backup.Xml")));
  if (!file.open(QIODevice::WriteOnly) || file.write(kSampleJob) < 0) return false;
  file.close();
  zk::ui::TZkSetBackupDlg jobs;
  jobs.SetFileName(file.fileName().toStdString());
  jobs.SetSelect("Napi");
  zk::ui::TZkSetBackupForm& form = jobs.OpenWindow();
  const auto tabs = [&form](const char* name) { return form.findChild<QTabWidget*>(QLatin1String(name)); };
  const struct {
    const char* Picture;
    const char* Top;
    const char* Inner;
    int Page;
    int InnerPage;
  } pages[] = {
      {"settings-general", "PageControl1", "GeneralPages", 0, 0},
      {"settings-duplicate", "PageControl1", "GeneralPages", 0, 1},
      {"settings-include", "PageControl1", "FilePages", 1, 0},
      {"settings-exclude", "PageControl1", "FilePages", 1, 1},
      {"settings-schedule", "PageControl1", "TimerDetail", 2, 0},
      {"settings-schedule-output", "PageControl1", "TimerDetail", 2, 1},
      {"settings-before", "PageControl1", "EventPages", 3, 0},
      {"settings-after", "PageControl1", "EventPages", 3, 1},
  };
  bool ok = true;
  for (const auto& page : pages) {
    tabs(page.Top)->setCurrentIndex(page.Page);
    tabs(page.Inner)->setCurrentIndex(page.InnerPage);
    ok = Save(form, folder, page.Picture) && ok;
  }
  form.close();
  return ok;
}

