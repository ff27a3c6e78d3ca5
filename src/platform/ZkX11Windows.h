#pragma once
// Detail of the desktop program launcher: top-level windows of the X display
// named by DISPLAY.

#include <string>

namespace zk::platform::detail {

enum class TWindowMatch { Class, Caption };

// Sends WM_DELETE_WINDOW to the first top-level window that matches (class
// or instance name of WM_CLASS; _NET_WM_NAME, else WM_NAME), without regard
// to the case of A to Z. False without a display or without such a window.
bool CloseTopLevelWindow(const std::string& text, TWindowMatch match);

}  // namespace zk::platform::detail
