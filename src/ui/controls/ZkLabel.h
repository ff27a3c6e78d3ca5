#pragma once

#include <QLabel>

namespace zk::ui {

// A caption, usually the buddy label of a field: its mnemonic moves the
// focus to the field, and a field without an accessible name of its own is
// named after the caption.
class TZkLabel : public QLabel {
  Q_OBJECT

public:
  explicit TZkLabel(const QString& caption, QWidget* buddy = nullptr, QWidget* parent = nullptr);
};

}  // namespace zk::ui
