// The control library's picture (scripts/screenshots.sh).

#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QWidget>
#include <memory>

#include "support/ZkScreenshots.h"
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

bool zk::ui::screenshots::SaveControls(const QDir& folder) {
  const std::unique_ptr<QWidget> controls = ControlsGallery();
  return Save(*controls, folder, "controls");
}
