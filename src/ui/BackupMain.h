#pragma once

#include <QMainWindow>

namespace zk::ui {

// The main window: the jobs of the job file as a list of large icons.
class TBackupForm : public QMainWindow {
  Q_OBJECT

public:
  explicit TBackupForm(QWidget* parent = nullptr);
};

}  // namespace zk::ui
