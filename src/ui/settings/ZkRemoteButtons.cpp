#include "ui/settings/ZkSetBackupForm.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/ZkRemoteStore.h"
#include "ui/app/ZkApplication.h"
#include "ui/app/ZkQtText.h"

// The remote target's two buttons under its field on the "Mentés" page:
// the remotes rclone has configured, and whether the target answers. rclone
// runs on a worker thread, so a slow or unreachable remote never holds the
// window.

namespace zk::ui {
namespace {

using TStop = platform::TZkRemoteStore::TStop;

const QString kMissing = QStringLiteral("Az rclone nincs telepítve. Telepítse az rclone csomagot, "
                                        "és egyszer állítsa be a távoli helyet (rclone config).");

struct TAnswer {
  QMessageBox::Icon Icon = QMessageBox::Information;
  QString Text;
};

void Tell(QWidget& parent, const TAnswer& answer) {
  QMessageBox box(answer.Icon, parent.window()->windowTitle(), answer.Text, QMessageBox::Ok, &parent);
  box.exec();
}

// On the worker.
TAnswer ListRemotes(const TStop& stop) {
  std::vector<std::string> names;
  const platform::TZkRemoteOutcome outcome = platform::RcloneStore().ListRemotes(names, stop);
  if (outcome.Result == platform::TZkRemoteResult::rrMissing) return {QMessageBox::Warning, kMissing};
  if (!outcome.Ok())
    return {QMessageBox::Warning, QStringLiteral("Az rclone hibát jelzett: ") + ToQString(outcome.Message)};
  if (names.empty()) return {QMessageBox::Information, QStringLiteral("Nincs beállított távoli hely. Beállítás: rclone config")};
  QString text = QStringLiteral("Beállított távoli helyek:");
  for (const std::string& name : names) text += QStringLiteral("\n") + ToQString(name);
  return {QMessageBox::Information, text};
}

// On the worker.
TAnswer TestTarget(const std::string& target, const TStop& stop) {
  std::vector<std::string> names;
  // A folder not made yet holds none: the first upload makes it.
  const platform::TZkRemoteOutcome outcome = platform::RcloneStore().ListFiles(target, names, stop);
  if (outcome.Result == platform::TZkRemoteResult::rrMissing) return {QMessageBox::Warning, kMissing};
  if (!outcome.Ok())
    return {QMessageBox::Warning, QStringLiteral("A távoli hely nem érhető el: ") + ToQString(outcome.Message)};
  return {QMessageBox::Information,
          QStringLiteral("A távoli hely elérhető (%1 fájl).").arg(static_cast<qsizetype>(names.size()))};
}

// One button's rclone question on a worker thread: the button is disabled
// until the answer is shown. Going with the button, it stops rclone and
// waits for the worker; an answer still queued is dropped with it.
class TRemoteQuery final : public QObject {
public:
  using TWork = std::function<TAnswer(const TStop&)>;

  TRemoteQuery(QPushButton& button, QWidget& page) : QObject(&button), button_(button), page_(page) {}
  ~TRemoteQuery() override {
    stop_ = true;
    if (worker_.joinable()) worker_.join();
  }
  TRemoteQuery(const TRemoteQuery&) = delete;
  TRemoteQuery& operator=(const TRemoteQuery&) = delete;

  void Start(TWork work) {
    if (worker_.joinable()) return;
    button_.setEnabled(false);
    worker_ = std::thread([this, work = std::move(work)] {
      const TAnswer answer = work([this] { return stop_.load(); });
      QMetaObject::invokeMethod(
          this, [this, answer] { Guarded([this, &answer] { Finish(answer); })(); }, Qt::QueuedConnection);
    });
  }

private:
  void Finish(const TAnswer& answer) {
    worker_.join();
    button_.setEnabled(true);
    Tell(page_, answer);
  }

  QPushButton& button_;
  QWidget& page_;
  std::atomic<bool> stop_{false};
  std::thread worker_;
};

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
  auto* listing = new TRemoteQuery(*list, page);
  auto* testing = new TRemoteQuery(*test, page);
  connect(list, &QPushButton::clicked, this, Guarded([listing](bool) { listing->Start(ListRemotes); }));
  connect(test, &QPushButton::clicked, this, Guarded([&page, &target, testing](bool) {
            const std::string value = ToUtf8(target.text().trimmed());
            if (value.empty()) return Tell(page, {QMessageBox::Warning, QStringLiteral("Nincs megadva távoli hely.")});
            testing->Start([value](const TStop& stop) { return TestTarget(value, stop); });
          }));
  // The page's stretch row stays below the buttons.
  const int at = grid.rowCount() - 1;
  grid.setRowStretch(at, 0);
  grid.addWidget(row, at, 1, 1, 2);
  grid.setRowStretch(at + 1, 1);
}

}  // namespace zk::ui
