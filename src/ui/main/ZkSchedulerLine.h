#pragma once
// The main window's status bar line of the background scheduler (the user
// unit that runs `backup-cli serve`): whether it runs, and a click that
// enables and starts it through the user's service manager.

#include <QToolButton>

namespace zk::platform {
class TZkUserScheduler;
}

namespace zk::ui {

class TZkSchedulerLine : public QToolButton {
  Q_OBJECT

public:
  // `scheduler` must outlive the line.
  explicit TZkSchedulerLine(platform::TZkUserScheduler& scheduler, QWidget* parent = nullptr);

  // Asks the service manager again.
  void Refresh();

private:
  void Clicked();

  platform::TZkUserScheduler& scheduler_;
  bool running_ = false;
};

}  // namespace zk::ui
