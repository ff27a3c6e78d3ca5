// Renders the windows offscreen, in a fixed state, to PNG files in the
// folder given: what the README shows and what a reviewer looks at.

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QWidget>
#include <cstdio>

#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <memory>

#include "ui/BackupMain.h"
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
  const std::unique_ptr<QWidget> controls = ControlsGallery();
  ok = Save(*controls, folder, "controls") && ok;
  return ok ? 0 : 1;
}
