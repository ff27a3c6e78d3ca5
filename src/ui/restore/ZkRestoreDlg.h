#pragma once
// The restore window: a job's runs as its history records them, the chosen
// run's files as a tree to tick, where they go and what happens to files
// already there; the restore itself runs on a worker thread with a bar for
// the whole and one for the file. A run whose archive is gone here is
// fetched from the job's remote target on the worker when it is chosen, and
// the fetched copy is dropped when another run is chosen or the window goes.

#include <QDialog>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/ZkDefineOutput.h"
#include "engine/ZkProgramFiles.h"
#include "engine/ZkRemote.h"
#include "engine/ZkRestore.h"
#include "engine/ZkRunHistory.h"
#include "platform/ZkRemoteStore.h"

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace zk::ui {

class RadioGroup;
class SpeedButton;
class TZkEdit;
class TZkFolderEdit;
class TZkProgressBar;

class TZkRestoreDlg : public QDialog {
  Q_OBJECT

public:
  explicit TZkRestoreDlg(QWidget* owner = nullptr);
  // Stops the restore and waits for its worker before any control goes.
  ~TZkRestoreDlg() override;

  // The job's output definition, before SetJob: with a remote target, a
  // run whose archives are gone here can be chosen, and they are fetched
  // from `store` into a folder below the output's work folder.
  void SetRemote(const TZkThreadDefineOutput& output, platform::TZkRemoteStore& store);
  // The job's runs from the history file, newest first; the newest "Ok" one
  // whose archives are here is chosen.
  void SetJob(const std::string& historyFile, const std::string& jobName);

  // The runs listed, newest first.
  const std::vector<TZkRunRecord>& Runs() const { return runs_; }
  // While the worker restores or fetches.
  bool Running() const { return worker_.joinable(); }
  // What the last restore did.
  const TZkRestoreCounts& Counts() const { return counts_; }
  // Runs on the worker thread as each chosen item begins, with the path it
  // goes to; tests hold the worker there to stop it at a known point.
  std::function<void(const std::string& destination)> OnItemStarts;

protected:
  void closeEvent(QCloseEvent* event) override;
  // Escape closes the window, except while the restore goes on.
  void reject() override;

private:
  // What the worker hands the window: the latest position, the error lines
  // in their order, the question about an existing file, the end.
  struct TProgress {
    std::uint64_t Done = 0;
    std::uint64_t Total = 0;
    std::uint64_t ItemStart = 0;
    std::uint64_t ItemSize = 0;
    std::string Destination;
  };
  // A fetch from the remote target as the worker reports it.
  struct TFetch {
    std::string Line;
    std::int64_t Done = -1;
    std::int64_t Total = -1;
    bool Ended = false;
    std::vector<std::string> Archives;
    std::string Failure;
  };

  void FillRuns();
  void RunChosen();
  void FillFiles();
  void OpenArchives(const std::vector<std::string>& archives);
  bool FetchesMissing() const { return output_ != nullptr && !output_->RemoteTarget.empty(); }
  void StartFetch(const TZkRunRecord& run);
  void FinishFetch(const TFetch& fetch);
  void ApplyFilter();
  void UpdateChosen();
  void UpdateControls();
  std::vector<std::size_t> ChosenItems() const;
  void StartRestore();
  void StopRestore();

  // On the worker thread.
  void Post();
  TZkRestoreAnswer AskOnWorker(const std::string& destination);
  // On the window thread: what the worker handed over.
  Q_INVOKABLE void Flush();
  Q_INVOKABLE void Ask();
  void Finish();

  std::vector<TZkRunRecord> runs_;
  std::unique_ptr<TZkThreadDefineOutput> output_;
  platform::TZkRemoteStore* store_ = nullptr;
  // The chosen run's archives fetched from the remote; before restore_,
  // which reads them.
  std::unique_ptr<TZkFetchedArchives> fetched_;
  std::unique_ptr<TZkRestore> restore_;
  // The number of checked items, of checked files and their bytes; a count
  // is due after a tick.
  std::size_t chosenItems_ = 0;
  int chosenFiles_ = 0;
  std::uint64_t chosenBytes_ = 0;
  bool countPending_ = false;
  TZkRestoreCounts counts_;
  bool stopped_ = false;
  bool fetching_ = false;
  std::atomic<bool> fetchStop_{false};
  QString currentFile_;

  std::mutex mutex_;
  TProgress latest_;
  bool fresh_ = false;
  std::vector<std::string> errors_;
  TFetch fetch_;
  bool finished_ = false;
  bool posted_ = false;
  TZkRestoreCounts result_;
  // The question the worker waits on, and its answer; abandoned when the
  // window goes while the worker waits.
  std::condition_variable answered_;
  std::string question_;
  std::optional<TZkRestoreAnswer> answer_;
  bool abandoned_ = false;

  QTreeWidget* runList_;
  TZkEdit* filter_;
  QTreeWidget* fileTree_;
  QLabel* chosen_;
  QGroupBox* target_;
  QRadioButton* toOriginal_;
  QRadioButton* toFolder_;
  TZkFolderEdit* targetFolder_;
  RadioGroup* existing_;
  TZkProgressBar* totalBar_;
  TZkProgressBar* fileBar_;
  QLabel* summary_;
  QPlainTextEdit* failureList_;
  SpeedButton* restoreButton_;
  SpeedButton* stopButton_;
  SpeedButton* closeButton_;
  // Last: it reaches the members above through the restore's handlers.
  std::thread worker_;
};

// The main window's restore of a job: the restore window on its runs from
// the history file, with its remote target from the job file, shown
// modally.
void RestoreJob(QWidget* owner, const TZkProgramFiles& files, const std::string& jobName);

}  // namespace zk::ui
