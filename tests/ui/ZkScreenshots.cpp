// Renders the windows offscreen, in a fixed state, to PNG files in the
// folder given: what the README shows and what a reviewer looks at.

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPixmap>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <future>
#include <memory>

#include "engine/ZkThreadSave.h"
#include "platform/ZkClock.h"
#include "platform/ZkFakePrograms.h"
#include "platform/ZkFakeServiceControl.h"
#include "platform/ZkFakeSessionEnder.h"
#include "ui/BackupMain.h"
#include "ui/BackupRunUnit.h"
#include "ui/BackupStartup.h"
#include "ui/Nevjegy.h"
#include "ui/ZkProgress.h"
#include "ui/ZkQtText.h"
#include "ui/ZkServiceDlg.h"
#include "ui/ZkSetBackupDlg.h"
#include "ui/ZkSetBackupForm.h"
#include "ui/controls/CheckListBox.h"
#include "ui/controls/RadioGroup.h"
#include "ui/controls/SpeedButton.h"
#include "ui/controls/SpinEdit.h"
#include "ui/controls/TimePicker.h"
#include "ui/controls/ZkCheckBox.h"
#include "ui/controls/ZkDateEdit.h"
#include "ui/controls/ZkEdit.h"
#include "ui/controls/ZkFolderEdit.h"
#include "ui/controls/ZkLabel.h"
#include "ui/controls/ZkTreeView.h"
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

// Bars in several styles, directions and borders, each with its text.
void AddProgressBars(QWidget& window) {
  using namespace zk::ui;
  auto* layout = new QVBoxLayout(&window);
  const auto add = [&](std::int64_t position, auto setUp) {
    auto* bar = new TZkProgressBar(&window);
    bar->SetTextShow(true);
    bar->SetTextSuffix(QStringLiteral(" %"));
    bar->SetPosition(position);
    setUp(*bar);
    layout->addWidget(bar);
    return bar;
  };
  add(25, [](TZkProgressBar&) {});
  add(60, [](TZkProgressBar& bar) {
    bar.SetBorder(TProgressBorders::gbDeepSunken);
    bar.SetDashFore(false);
    bar.BarFore().SetStyle(TProgressStyle::gsGradient3);
    bar.SetTextBackColor(QColor(Qt::black));
  });
  add(80, [](TZkProgressBar& bar) {
    bar.SetBorder(TProgressBorders::gbRaised);
    bar.BarFore().SetStyle(TProgressStyle::gsBlending2);
    bar.BarFore().SetColor1(QColor(0, 64, 160));
    bar.BarFore().SetColor2(QColor(120, 200, 255));
    bar.SetDashBack(true);
    bar.BarBack().SetStyle(TProgressStyle::gsColor);
    bar.BarBack().SetColor1(clWindow);
    bar.SetTextAlign(TAlignment::taRightJustify);
  });
  add(45, [](TZkProgressBar& bar) {
    bar.SetDirection(TProgressDirection::pdRightToLeft);
    bar.SetBorder(TProgressBorders::gbSingle);
    bar.BarFore().SetStyle(TProgressStyle::gsGradient2);
    bar.BarFore().SetColor1(QColor(0, 128, 0));
    bar.BarFore().SetColor2(QColor(160, 255, 160));
    bar.SetTextPrefix(QStringLiteral("Mentés: "));
    bar.SetTextAlign(TAlignment::taLeftJustify);
  });
  add(1234567, [](TZkProgressBar& bar) {
    bar.SetMax(5000000);
    bar.SetPosition(1234567);
    bar.SetPercentage(false);
    bar.SetTextSuffix(QStringLiteral(" bájt"));
    bar.SetBorder(TProgressBorders::gbFatRaised);
    bar.BarFore().SetStyle(TProgressStyle::gsBlending3);
    bar.BarFore().SetColor1(QColor(255, 0, 0));
    bar.SetDashFore(false);
  });
  auto* vertical = add(70, [](TZkProgressBar& bar) {
    bar.SetDirection(TProgressDirection::pdBottomToTop);
    bar.SetTextShow(false);
    bar.SetDashWidth(4);
    bar.BarFore().SetStyle(TProgressStyle::gsGradient2);
    bar.BarFore().SetOrientation(TGradientOrientation::goVertical);
  });
  vertical->setFixedSize(30, 80);
  window.resize(260, window.sizeHint().height());
}

// One of each control of the library, filled as on the settings pages.
std::unique_ptr<QWidget> ControlsGallery() {
  using namespace zk::ui;
  auto window = std::make_unique<QWidget>();
  window->setWindowTitle(QStringLiteral("Vezérlők"));
  auto* columns = new QHBoxLayout(window.get());

  auto* fields = new QFormLayout;
  auto* folder = new TZkFolderEdit;
  folder->SetText(QStringLiteral("/home/anna/Mentés"));
  fields->addRow(new TZkLabel(QStringLiteral("&Cél könyvtár"), folder), folder);
  auto* name = new TZkEdit;
  name->setText(QStringLiteral("napi.zip"));
  fields->addRow(new TZkLabel(QStringLiteral("&Archívum neve"), name), name);
  auto* date = new TZkDateEdit;
  date->SetDate(45677);
  fields->addRow(new TZkLabel(QStringLiteral("&Dátum:"), date), date);
  auto* time = new TimePicker;
  time->SetTime(0.5);
  fields->addRow(new TZkLabel(QStringLiteral("&Idő:"), time), time);
  auto* interval = new SpinEdit(10, 99999999);
  interval->setValue(180);
  fields->addRow(new TZkLabel(QStringLiteral("Időzítő (&perc)"), interval), interval);
  auto* check = new TZkCheckBox(QStringLiteral("Napló készítése"));
  check->setChecked(true);
  fields->addRow(check);
  auto* packMode = new RadioGroup(QStringLiteral(" Tömörítési eljárás "),
                                  {QStringLiteral("Nincs tömörítés"), QStringLiteral("Zip tömörítés")});
  packMode->SetItemIndex(1);
  fields->addRow(packMode);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(new SpeedButton(QStringLiteral("Mentés"), QStringLiteral("save")));
  buttons->addWidget(new SpeedButton(QStringLiteral("Mégsem"), QStringLiteral("cancel")));
  buttons->addWidget(new SpeedButton(QStringLiteral("Megszakítás"), QStringLiteral("abort")));
  fields->addRow(buttons);
  columns->addLayout(fields, 3);

  auto* lists = new QVBoxLayout;
  auto* type = new RadioGroup(QStringLiteral("Típusa"), {QStringLiteral("Naponta"), QStringLiteral("Hetente"),
                                                         QStringLiteral("Havonta"), QStringLiteral("Évente"),
                                                         QStringLiteral("Időzítő"), QStringLiteral("Egyszeri")});
  type->SetColumns(4);
  type->SetItemIndex(1);
  lists->addWidget(type);
  QStringList days;
  for (int day = 1; day <= 31; ++day) days << QString::number(day);
  auto* dayList = new CheckListBox(days);
  dayList->SetColumns(5);
  dayList->SetBits((1 << 0) | (1 << 14) | (1 << 27));
  dayList->setAccessibleName(QStringLiteral("Napok"));
  lists->addWidget(dayList);
  auto* sources = new TZkTreeView;
  sources->setAccessibleName(QStringLiteral("Forrás"));
  for (const char* entry : {"/home/anna/Dokumentumok/*.*", "/home/anna/Levelek/*.eml", "*.dbf"}) {
    sources->InsertEntry(-1, QString::fromUtf8(entry));
  }
  sources->setCurrentItem(sources->topLevelItem(1));
  lists->addWidget(sources);
  columns->addLayout(lists, 2);

  window->resize(760, 420);
  return window;
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

// The run window in the middle of a run: the first job's first file
// packed, the second job waiting, a disabled job skipped. The worker is held
// in the window's handler while the picture is taken.
bool RunWindowDuringRun(const QDir& folder) {
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
  // The updates the worker posted before it was held.
  QApplication::processEvents();
  ok = ok && Save(run, folder, "run-window");
  shown.set_value();
  const bool ended = waitUntil([&] { return !run.isVisible(); });
  if (!ended) std::fprintf(stderr, "the run window did not close\n");
  return ok && ended;
}

}  // namespace

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

// Every page of the settings window, one picture each.
bool SaveSettingsPages(const QDir& folder, const zk::TZkServiceContext& context) {
  QTemporaryDir scratch;
  QFile file(scratch.filePath(QStringLiteral("Backup.Xml")));
  if (!file.open(QIODevice::WriteOnly) || file.write(kSampleJob) < 0) return false;
  file.close();
  zk::ui::TZkSetBackupDlg jobs(context);
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
  QWidget bars;
  AddProgressBars(bars);
  ok = Save(bars, folder, "progress-bar") && ok;
  const std::unique_ptr<QWidget> controls = ControlsGallery();
  ok = Save(*controls, folder, "controls") && ok;

  zk::platform::TZkFakeServiceControl serviceManager;
  AddSampleServices(serviceManager);
  const zk::TZkServiceContext serviceContext{serviceManager, zk::platform::SystemSleeper()};
  zk::ui::TZkServiceForm services(serviceContext, zk::ui::ServiceAction::saControl,
                                  {zk::ui::ServiceColumn::scDisplayName, zk::ui::ServiceColumn::scState});
  services.show();
  services.ListView().setCurrentItem(services.ListView().topLevelItem(2));
  ok = Save(services, folder, "service-list") && ok;

  zk::ui::TNEvjegyForm about(&main, zk::GetFileVersionText(""), "/home/anna/.config/backup/Backup.Xml");
  ok = Save(about, folder, "about-box") && ok;
  ok = RunWindowDuringRun(folder) && ok;
  ok = SaveSettingsPages(folder, serviceContext) && ok;
  return ok ? 0 : 1;
}
