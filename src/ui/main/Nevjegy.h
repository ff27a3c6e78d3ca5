#pragma once
// The about box: the program's picture, name and version, what it is, where
// its source lives, and which job file it works on.

#include <QDialog>
#include <string>

namespace zk::ui {

class TNEvjegyForm : public QDialog {
  Q_OBJECT

public:
  TNEvjegyForm(QWidget* owner, const std::string& version, const std::string& jobFile);
};

}  // namespace zk::ui
