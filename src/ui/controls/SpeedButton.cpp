#include "ui/controls/SpeedButton.h"

#include "ui/controls/ControlIcons.h"

namespace zk::ui {

SpeedButton::SpeedButton(const QString& caption, const QString& iconName, QWidget* parent) : QToolButton(parent) {
  setText(caption);
  setIcon(ControlIcon(iconName));
  setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  setAutoRaise(true);
  // Reachable by Tab as every other control, not only by the mouse.
  setFocusPolicy(Qt::StrongFocus);
}

}  // namespace zk::ui
