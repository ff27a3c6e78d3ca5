#include "ui/settings/ZkSetBackupForm.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <string>
#include <vector>

#include "platform/ZkRemoteStore.h"
#include "ui/app/ZkApplication.h"
#include "ui/app/ZkQtText.h"

// The remote target's two buttons under its field on the "Mentés" page:
// the remotes rclone has configured, and whether the target answers.

namespace zk::ui {
namespace {

const QString kMissing = QStringLiteral("Az rclone nincs telepítve. Telepítse az rclone csomagot, "
                                        "és egyszer állítsa be a távoli helyet (rclone config).");

void Tell(QWidget& parent, QMessageBox::Icon icon, const QString& text) {
  QMessageBox box(icon, parent.window()->windowTitle(), text, QMessageBox::Ok, &parent);
  box.exec();
}

void ListRemotes(QWidget& parent) {
  std::vector<std::string> names;
  const platform::TZkRemoteOutcome outcome = platform::RcloneStore().ListRemotes(names);
  if (outcome.Result == platform::TZkRemoteResult::rrMissing) return Tell(parent, QMessageBox::Warning, kMissing);
  if (!outcome.Ok())
    return Tell(parent, QMessageBox::Warning, QStringLiteral("Az rclone hibát jelzett: ") + ToQString(outcome.Message));
  if (names.empty())
    return Tell(parent, QMessageBox::Information,
                QStringLiteral("Nincs beállított távoli hely. Beállítás: rclone config"));
  QString text = QStringLiteral("Beállított távoli helyek:");
  for (const std::string& name : names) text += QStringLiteral("\n") + ToQString(name);
  Tell(parent, QMessageBox::Information, text);
}

void TestTarget(QWidget& parent, const QString& target) {
  if (target.trimmed().isEmpty())
    return Tell(parent, QMessageBox::Warning, QStringLiteral("Nincs megadva távoli hely."));
  std::vector<std::string> names;
  // A folder not made yet holds none: the first upload makes it.
  const platform::TZkRemoteOutcome outcome = platform::RcloneStore().ListFiles(ToUtf8(target.trimmed()), names);
  if (outcome.Result == platform::TZkRemoteResult::rrMissing) return Tell(parent, QMessageBox::Warning, kMissing);
  if (!outcome.Ok())
    return Tell(parent, QMessageBox::Warning,
                QStringLiteral("A távoli hely nem érhető el: ") + ToQString(outcome.Message));
  Tell(parent, QMessageBox::Information,
       QStringLiteral("A távoli hely elérhető (%1 fájl).").arg(static_cast<qsizetype>(names.size())));
}

QPushButton* NewButton(const char* name, const QString& caption, QWidget& parent) {
  auto* button = new QPushButton(caption, &parent);
  button->setObjectName(QLatin1String(name));
  button->setAccessibleName(caption);
  return button;
}

}  // namespace

void TZkSetBackupForm::AddRemoteButtons(QWidget& page) {
  auto& grid = static_cast<QGridLayout&>(*page.layout());
  // The page is not the window's yet: its own child.
  auto& target = *page.findChild<QLineEdit*>(QStringLiteral("RemoteTarget"));
  auto* row = new QWidget(&page);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  QPushButton* list = NewButton("RemoteList", QStringLiteral("Távoli helyek"), *row);
  QPushButton* test = NewButton("RemoteTest", QStringLiteral("Kapcsolat próbája"), *row);
  layout->addWidget(list);
  layout->addWidget(test);
  layout->addStretch(1);
  connect(list, &QPushButton::clicked, this, Guarded([&page](bool) { ListRemotes(page); }));
  connect(test, &QPushButton::clicked, this, Guarded([&page, &target](bool) { TestTarget(page, target.text()); }));
  // The page's stretch row stays below the buttons.
  const int at = grid.rowCount() - 1;
  grid.setRowStretch(at, 0);
  grid.addWidget(row, at, 1, 1, 2);
  grid.setRowStretch(at + 1, 1);
}

}  // namespace zk::ui
