#pragma once
// The run window: the chosen jobs backed up one after the other, each in a
// row where the target folder and the archive name can still be changed for
// this run, with a bar per row and one for the file being added.

#include <QDialog>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/ZkRunSequence.h"
#include "engine/ZkSaveFunc.h"
#include "engine/ZkThreadSave.h"
#include "system/ZkShutDownWinX.h"

class QScrollArea;
class QWidget;

namespace zk::ui {

class SpeedButton;
class TZkBrowseFolderDlg;
class TZkCheckBox;
class TZkEdit;
class TZkFolderEdit;
class TZkLabel;
class TZkProgressBar;

class TBackupRun : public QDialog {
  Q_OBJECT

public:
  // The jobs' actions and the power-off act on `platform`, which must
  // outlive the window: the machine's in the program, fakes in tests.
  explicit TBackupRun(const TZkActionPlatform& platform, QWidget* owner = nullptr);
  // Ends the engine (and waits for its worker) before any control goes, so
  // that no handler of the engine is left running against a freed row.
  ~TBackupRun() override;

  // Loads every job of the job file into the engine; the history goes to
  // the INI file beside it.
  void SetJobFile(const std::string& fileName);
  // A row for the job of that name (A to Z without case). Fails with
  // "Nincs " + name + " nevű mentés" when the job file has none.
  void AddRow(const std::string& jobName);
  // Checks "Várakozás nélkül" when `noThrottle` (the program's
  // --no-throttle); otherwise it keeps the state of the last run.
  void SetNoThrottle(bool noThrottle);

  // Whether "Mentés után a számítógép leállítása" is checked.
  bool ShutDownChecked() const;
  // The shutdown component the caller executes after the window closed.
  TZkShutDownWin& ZkShutDownWin1() { return shutDown_; }
  // Called by the owner after the window has closed: powers the computer
  // off when the box is checked and every job of the run ended (never after
  // "Mégsem", an abort or an engine that died). True when it did.
  bool ShutDownIfChecked();
  // Error lines the run wrote (to "Error.Txt" beside the job file).
  int ErrorLines() const { return errorLines_.load(); }
  std::string ErrorFilename() const;
  // Whether every row's job ended by its own run.
  bool RunCompleted() const;
  // Whether engine events wait to be shown (at most a screen refresh).
  bool ProgressPending();

  // The engine component, for the owner's (and tests') view of the run.
  TZkThreadSave& Save() { return *save_; }
  int RowCount() const { return static_cast<int>(rows_.size()); }
  // The row of the running job, -1 before the start.
  int CurrentRow() const { return currentRow_; }

protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // The rows follow the width of the scroll box's visible area.
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Escape: "Mégsem" before the start, nothing while the run goes on.
  void reject() override;

private:
  struct Row {
    std::string JobName;
    bool Disabled = false;
    bool CopyJob = false;
    TZkLabel* Label = nullptr;
    TZkFolderEdit* Folder = nullptr;
    TZkEdit* Name = nullptr;
    TZkProgressBar* Bar = nullptr;
  };
  // What an engine event carries over to the window thread.
  struct Progress {
    std::string ItemName;
    std::int64_t ItemSize = 0;
    std::int64_t ItemPosition = 0;
    std::int64_t TotalSize = 0;
    std::int64_t TotalPosition = 0;
  };
  enum class Event {
    BeforeSave,
    BeforeAddFile,
    AddFileProgress,
    BeforeCopy,
    ActionCopy,
    AfterCopy,
    BeforeDuplicate,
    ActionDuplicate,
    AfterDuplicate,
    AfterBackup  // ItemName: the job's name
  };

  void FormShow();
  bool HasBlankOutputFolder() const;
  void FillRows(const QString& pickedFolder);
  void CheckRows();
  void SpeedButton1Click();
  void SpeedButton2Click();
  void SpeedButton3Click();
  void StartCurrentJob();
  // The row's folder and name into the engine's copy of its job.
  void ApplyRow(const Row& row);
  void ConnectEngine();
  void Post(Event event, Progress values);
  void Flush();
  // The queued call of Post, by name: the hand-over then holds nothing of
  // ours that the worker made, only what pendingMutex_ guards.
  Q_INVOKABLE void FlushQueued();
  // The engine's notifications for the window thread, handed over the same
  // way.
  Q_INVOKABLE void RunNotifications();
  std::mutex notificationsMutex_;
  std::vector<std::function<void()>> notifications_;
  void ShowProgress(Event event, const Progress& values);
  void JobEnded(const std::string& job);
  void EngineEnded();
  void FitHeight();
  // The rows' controls across the window's width.
  void LayoutRows();
  bool Running() const { return currentRow_ >= 0; }

  const TZkActionPlatform& platform_;
  std::string jobFile_;
  std::vector<Row> rows_;
  // The rows that run (the enabled ones), in row order.
  std::vector<int> runRows_;
  int currentRow_ = -1;
  QString currentItemText_;
  bool shown_ = false;
  bool closing_ = false;
  bool aborted_ = false;
  std::atomic<int> errorLines_{0};
  // Engine events on their way to the window thread, in their order; one
  // queued call carries every event gathered until it runs.
  std::mutex pendingMutex_;
  std::vector<std::pair<Event, Progress>> pending_;
  bool flushPosted_ = false;
  // The window shows a batch at most once per screen refresh: a fast run
  // hands over thousands of events a second. A batch that comes sooner
  // waits for the timer.
  QElapsedTimer lastFlush_;
  QTimer flushTimer_;

  QScrollArea* scrollBox1_;
  QWidget* rowsPanel_;
  TZkCheckBox* zkCheckBox1_;
  TZkCheckBox* noWaits_;
  SpeedButton* speedButton1_;
  SpeedButton* speedButton2_;
  SpeedButton* speedButton3_;
  TZkProgressBar* zkProgressBar1_;
  TZkBrowseFolderDlg* folderDlg_;
  TZkShutDownWin shutDown_;
  std::unique_ptr<TZkRunSequence> sequence_;
  // Last, and reset first by the destructor: its worker reaches everything
  // above through the handlers.
  std::unique_ptr<TZkThreadSave> save_;
};

// What a run in the run window left for the main window.
struct TRunOutcome {
  bool Completed = false;   // every row's job ended
  bool PoweredOff = false;  // the power-off was asked for
  int ErrorLines = 0;       // lines written to ErrorFile
  std::string ErrorFile;
};

// The main window's run of chosen jobs: a run window over the job file with
// one row per name (bottom-most selected job first), shown modally; after
// it closed, the power-off when its box was checked and the run completed.
// `noThrottle` checks "Várakozás nélkül" (the program's --no-throttle).
TRunOutcome RunJobs(QWidget* owner, const TZkActionPlatform& platform, const std::string& jobFile,
                    const std::vector<std::string>& names, bool noThrottle);

}  // namespace zk::ui
