#pragma once

#include <QIcon>
#include <QString>

namespace zk::ui {

// The controls' own pictures, SVGs drawn at whatever size and pixel ratio
// they are shown: "save", "cancel", "abort", "folder", "restore". An unknown
// name gives a null icon.
QIcon ControlIcon(const QString& name);

}  // namespace zk::ui
