#pragma once

#include <QToolButton>

namespace zk::ui {

// A flat push button with a picture beside its caption (ControlIcon names).
class SpeedButton : public QToolButton {
  Q_OBJECT

public:
  SpeedButton(const QString& caption, const QString& iconName, QWidget* parent = nullptr);
};

}  // namespace zk::ui
