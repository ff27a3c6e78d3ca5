#include "ui/main/ZkSchedulerLine.h"

#include "platform/ZkDesktopBus.h"
#include "platform/ZkSystemError.h"
#include "ui/app/ZkApplication.h"
#include "ui/app/ZkQtText.h"

namespace zk::ui {

TZkSchedulerLine::TZkSchedulerLine(platform::TZkUserScheduler& scheduler, QWidget* parent)
    : QToolButton(parent), scheduler_(scheduler) {
  setObjectName(QStringLiteral("SchedulerLine"));
  setAccessibleName(QStringLiteral("Ütemezett mentések"));
  setAutoRaise(true);
  setToolButtonStyle(Qt::ToolButtonTextOnly);
  connect(this, &QToolButton::clicked, this, [this] { Clicked(); });
  Refresh();
}

void TZkSchedulerLine::Refresh() {
  running_ = scheduler_.Running();
  if (running_) {
    setText(QStringLiteral("Ütemezett mentések: futnak"));
    setToolTip(QStringLiteral("A háttérben futó ütemező (backup-cli.service) a beállított időkben indítja a "
                              "mentéseket, ablak nélkül is"));
  } else {
    setText(QStringLiteral("Ütemezett mentések: nem futnak"));
    setToolTip(QStringLiteral("Kattintásra bekapcsolja és elindítja a háttérben futó ütemezőt "
                              "(backup-cli.service); ezután minden bejelentkezéskor elindul"));
  }
}

void TZkSchedulerLine::Clicked() {
  if (!running_ && !scheduler_.EnableAndStart())
    TZkApplication::ShowError(QStringLiteral("Az ütemezett mentések nem indíthatók el: ") +
                              ToQString(platform::LastSystemErrorText()));
  Refresh();
}

}  // namespace zk::ui
