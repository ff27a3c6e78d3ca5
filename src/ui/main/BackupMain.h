#pragma once

#include <QCollator>
#include <QIcon>
#include <QMainWindow>
#include <functional>
#include <string>
#include <vector>

#include "ui/main/BackupStartup.h"

class QAction;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMenu;

namespace zk {
struct TZkServiceContext;
}  // namespace zk

namespace zk::platform {
class TZkUserScheduler;
}  // namespace zk::platform

namespace zk::ui {

class TZkSetBackupDlg;
class TZkSchedulerLine;

// The last run of a job as its icon shows it.
enum class TRunMark { rmNever, rmOk, rmStopped, rmIncomplete };

// The main window: the jobs of the job file as a list of large icons,
// sorted by name, and the job list commands.
class TBackupForm : public QMainWindow {
  Q_OBJECT

public:
  // The item data role that holds an entry's TRunMark (as int).
  static constexpr int kRunMarkRole = Qt::UserRole + 1;
  // The item data role that says whether the job is overdue (bool): it has
  // schedule entries and no good backup for longer than they allow.
  static constexpr int kOverdueRole = Qt::UserRole + 2;

  // The settings window's service actions pick their service from
  // `services` (which must outlive the window); without it they fail with a
  // message.
  explicit TBackupForm(const TZkServiceContext* services = nullptr, QWidget* parent = nullptr);
  ~TBackupForm() override;

  // Runs the jobs named, in that order, in the run window, from the job file
  // given. Run (and /start) is available once it is set.
  std::function<void(const std::string& jobFile, const std::vector<std::string>& names)> RunJobs;
  // Opens the settings window on the job named. Properties is available
  // once it is set.
  std::function<void(const std::string& name)> EditJob;
  // Opens the restore window on the job named. Restore is available once
  // it is set.
  std::function<void(const std::string& name)> RestoreJob;

  // The start: the legacy import when only the INI file exists, the job
  // file, the list, then /Group and /start. A failure is shown in the error
  // box and ends the start; the window opens as usual.
  void FormCreate(const TBackupStartup& startup);

  // Reads the last run of every job from the history again, the history
  // file once. One that cannot be read leaves the marks out and the status
  // bar says why.
  void RefreshMarks();

  // After a run that wrote error lines: the status bar says how many, and
  // a click on its link opens the error file with the desktop's viewer. No
  // lines clear it.
  void ShowRunErrors(int errorLines, const std::string& errorFile);
  // How the link opens the error file; the desktop's viewer unless a test
  // sets another.
  std::function<void(const QString& path)> OpenFile;

  // The background scheduler (which must outlive the window): while it is
  // installed, the settings window shows the schedule page, and the status
  // bar says whether it runs, starting it on a click. None: neither.
  void SetScheduler(platform::TZkUserScheduler* scheduler);
  TZkSchedulerLine* SchedulerLine() const { return schedulerLine_; }

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
  void RestoreMenuClick();
  void Nvjegy1Click();
  void MainKilepesClick();

  // `overdue` says how long the job has gone without a good backup; empty
  // when it is not overdue.
  void ApplyMark(QListWidgetItem& item, const std::vector<std::string>& history, const QString& overdue);
  void UpdateEmptyLine();

  // Undo takes back the list commands one at a time, newest first.
  struct TUndoStep {
    QString What;
    std::function<void()> Undo;
  };
  void PushUndo(const QString& what, std::function<void()> undo);
  void UndoMenuClick();
  void UpdateUndo();
  std::string FileVersion() const;

  TBackupStartup startup_;
  TZkSetBackupDlg* setBackupDlg_;
  // The status bar line of the last run's error lines, and their file.
  QLabel* runErrors_;
  QString runErrorFile_;
  QListWidget* listView_;
  QMenu* popupMenu1_;
  bool shown_ = false;
  // The status bar says that the history file cannot be read.
  bool historyUnreadable_ = false;
  // The order of the captions: the user's language at the window's start.
  QCollator collator_;
  QIcon jobIcons_[4];
  // The same with the overdue mark.
  QIcon overdueIcons_[4];
  TZkSchedulerLine* schedulerLine_ = nullptr;
  // Shown in the list area while the job file holds no job.
  QLabel* emptyLine_;
  std::vector<TUndoStep> undo_;

  // The context menu.
  QAction* addMenu_;
  QAction* renMenu_;
  QAction* copyMenu_;
  QAction* pasteMenu_;
  QAction* delMenu_;
  QAction* selectAllMenu_;
  QAction* runMenu_;
  QAction* propMenu_;
  QAction* restoreMenu_;
  QAction* undoMenu_;
  // The menu bar.
  QAction* mainNewMenu_;
  QAction* mainDelMenu_;
  QAction* mainRenMenu_;
  QAction* mainPropMenu_;
  QAction* mainRunMenu_;
  QAction* mainRestoreMenu_;
  QAction* mainUndoMenu_;
  QAction* mainKilepes_;
  QAction* nvjegy1_;
};

}  // namespace zk::ui
