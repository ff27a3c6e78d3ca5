#pragma once
// The pictures of the windows (scripts/screenshots.sh): each window's own
// test folder draws its window in a fixed state, and the program
// ui_screenshots (ZkScreenshotMain.cpp) writes them all to one folder.

class QDir;
class QWidget;

namespace zk::ui::screenshots {

// Shows the window and writes it to folder/name.png; false, with a message,
// when the picture cannot be written.
bool Save(QWidget& window, const QDir& folder, const char* name);

bool SaveMainWindow(const QDir& folder);     // main-window, about-box, main-first-start
bool SaveProgressBars(const QDir& folder);   // progress-bar
bool SaveControls(const QDir& folder);       // controls
bool SaveServiceList(const QDir& folder);    // service-list
bool SaveRunWindow(const QDir& folder);      // run-window, run-window-long-name, run-window-dark
bool SaveRestoreWindow(const QDir& folder);  // restore-window
bool SaveSettingsPages(const QDir& folder);  // settings-*

}  // namespace zk::ui::screenshots
