#pragma once

#include <QCollator>
#include <QIcon>
#include <QMainWindow>
#include <functional>
#include <string>
#include <vector>

#include "ui/BackupStartup.h"

class QAction;
class QListWidget;
class QListWidgetItem;
class QMenu;

namespace zk::ui {

class TZkSetBackupDlg;

// The last run of a job as its icon shows it.
enum class TRunMark { rmNever, rmOk, rmStopped };

// The main window: the jobs of the job file as a list of large icons,
// sorted by name, and the job list commands.
class TBackupForm : public QMainWindow {
  Q_OBJECT

public:
  // The item data role that holds an entry's TRunMark (as int).
  static constexpr int kRunMarkRole = Qt::UserRole + 1;

  explicit TBackupForm(QWidget* parent = nullptr);
  ~TBackupForm() override;

  // Runs the jobs named, in that order, in the run window, from the job file
  // given. Run (and /start) is available once it is set.
  std::function<void(const std::string& jobFile, const std::vector<std::string>& names)> RunJobs;
  // Opens the settings window on the job named. Properties is available
  // once it is set.
  std::function<void(const std::string& name)> EditJob;

  // The start: the legacy import when only the INI file exists, the job
  // file, the list, then /Group and /start. A failure is shown in the error
  // box and ends the start; the window opens as usual.
  void FormCreate(const TBackupStartup& startup);

  // Reads the last run of every job from the history again.
  void RefreshMarks();

  TZkSetBackupDlg& SetBackupDlg() { return *setBackupDlg_; }
  const TBackupStartup& Startup() const { return startup_; }
  QListWidget& ListView() { return *listView_; }

protected:
  void showEvent(QShowEvent* event) override;

private:
  QAction* NewAction(const char* name, const QString& caption);
  void BuildMenus();

  void ImportIniFile();
  void FillList();
  void SelectGroup(const std::string& name);
  void RunSelected();
  void UpdateMainMenu();
  void PopupMenu1Popup();
  // Entries bottom-most first.
  std::vector<std::string> SelectedCaptions() const;
  int SelectedCount() const;

  void ListViewEdited(int row, const QString& text);
  void AddMenuClick();
  void RenMenuClick();
  void DelMenuClick();
  void SelectAllMenuClick();
  void CopyMenuClick();
  void PasteMenuClick();
  void RunMenuClick();
  void PropMenuClick();
  void Nvjegy1Click();
  void MainKilepesClick();

  void ApplyMark(QListWidgetItem& item);
  std::string FileVersion() const;

  TBackupStartup startup_;
  TZkSetBackupDlg* setBackupDlg_;
  QListWidget* listView_;
  QMenu* popupMenu1_;
  bool shown_ = false;
  // The order of the captions: the user's language at the window's start.
  QCollator collator_;
  QIcon jobIcons_[3];

  // The context menu.
  QAction* addMenu_;
  QAction* renMenu_;
  QAction* copyMenu_;
  QAction* pasteMenu_;
  QAction* delMenu_;
  QAction* selectAllMenu_;
  QAction* runMenu_;
  QAction* propMenu_;
  // The menu bar.
  QAction* mainNewMenu_;
  QAction* mainDelMenu_;
  QAction* mainRenMenu_;
  QAction* mainPropMenu_;
  QAction* mainRunMenu_;
  QAction* mainKilepes_;
  QAction* nvjegy1_;
};

}  // namespace zk::ui
