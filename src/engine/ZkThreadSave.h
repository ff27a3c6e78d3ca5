#pragma once
// The backup engine: it holds the job list, keeps it in the job file and,
// on its worker thread, runs the jobs as they come due, reporting every
// step through its events with the run copy of the job.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/ZkActiveTask.h"
#include "engine/ZkJob.h"
#include "engine/ZkRunControl.h"
#include "engine/ZkRunRecords.h"
#include "engine/ZkSaveFunc.h"
#include "engine/ZkThreads.h"
#include "platform/ZkClock.h"
#include "platform/ZkFileSystem.h"
#include "platform/ZkRemoteStore.h"
#include "store/Published.h"
#include "zip/ZkZip.h"

namespace zk {

class TZkTreeData;
class TZkZip;

// Reads the jobs of a job file into a list and recomputes every schedule
// entry, for a reader that needs no engine. When the file cannot be read
// the error is passed on and the list stays as it was.
void ReadJobFile(const std::string& path, TZkThreadSaveTasks& jobs);
// Writes the jobs as a job file, for a writer that needs no engine; the
// file's previous content stays when this fails.
void WriteJobFile(const std::string& path, const TZkThreadSaveTasks& jobs);

class TZkThreadSave : public TZkCustomThread, public TZkRunControl {
public:
  using TSaveEvent = std::function<void(TZkThreadSave& sender, TZkThreadActiveTask& task)>;
  using TSaveFuncEvent =
      std::function<void(TZkThreadSave& sender, TZkThreadActiveTask& task, TZkThreadSaveFunc& func)>;

  // The clock decides when schedule entries come due; the machine's unless
  // a test brings its own (which must outlive the engine). `deliver` hands
  // OnTerminate to the owner's thread.
  explicit TZkThreadSave(const platform::TZkClock& clock = platform::SystemClock(), TDeliver deliver = {});
  ~TZkThreadSave() override;

  // The engine's fixed waits go to this sleeper (the machine's unless a test
  // brings its own).
  void SetSleeper(platform::TZkSleeper& sleeper) { sleeper_ = &sleeper; }
  // Off, a run has none of its throttling waits (per folder, file and
  // progress report); the idle pass's 3000 ms poll stays either way, so
  // that an idle engine does not spin. Set before Start.
  bool Throttle = true;
  // Threads that compress a zip run's files (the archive is the same for
  // any number). Set before Start.
  int Threads = DefaultCompressionThreads();

  // Off, a schedule moment that passed while no engine ran is gone, as it
  // always was; on, the loop first makes each job due once whose entries
  // had a moment after its newest history line (and does so again when the
  // clock jumps ahead, as after a sleep). However many moments were missed,
  // the job runs once, for the entry of the latest one. Set before Start.
  bool CatchUp = false;
  // That step on its own: returns how many jobs it made due.
  int MarkMissedRuns();

  // What the pre- and post-backup actions act on; it must outlive the
  // engine. Without one, every action fails with an error.
  void SetActionPlatform(const TZkActionPlatform& platform) { actions_ = &platform; }
  // Where archives of jobs with a remote target go (rclone from PATH unless
  // a test brings its own, which must outlive the engine).
  void SetRemoteStore(platform::TZkRemoteStore& store) { remote_ = &store; }

  // The stored jobs are read by the worker thread while it scans them and
  // while it takes the run copy of a job. Another thread that changes them
  // while the engine runs holds this lock (StartNow needs none).
  std::unique_lock<std::mutex> LockJobs() const { return std::unique_lock(jobsMutex_); }

  // Asks the current run to end in order, and recomputes every schedule
  // entry so that what was due is dropped.
  void Stop();
  // Ends the idle wait at once, so that a job marked to start now by
  // another thread is picked without waiting for the next poll.
  void PollNow() { WakeSignal().Notify(); }
  bool StopRequested() const override { return stopRequested_.load(); }
  bool Terminated() const override { return TZkCustomThread::Terminated(); }
  void Wait(int milliseconds) override;

  // Run events, raised on the worker thread with the run copy.
  TSaveEvent OnActionAddFile, OnActionCopy, OnActionDuplicate, OnActionSaving;
  TSaveFuncEvent OnActionBeginFunc, OnActionEndFunc;
  TSaveEvent OnAfterAddFile, OnAfterBeginFunc, OnAfterCopy, OnAfterDuplicate, OnAfterEndFunc, OnAfterSave,
      OnAfterBackup;
  TSaveEvent OnBeforeAddFile, OnBeforeBeginFunc, OnBeforeCopy, OnBeforeDuplicate, OnBeforeEndFunc, OnBeforeSave,
      OnBeforeBackup;

  // What a file copy of a run reports to: a file copied in copy mode, the
  // archive copied to its target, or to the duplicate folder.
  enum class TCopyUse { ctFile, ctArchive, ctDuplicate };
  std::unique_ptr<TZkThreadProcess> CopyRelay(TCopyUse use);

  TZkThreadSaveTasks& Saving() { return saving_; }
  const TZkThreadSaveTasks& Saving() const { return saving_; }
  void SetSaving(const TZkThreadSaveTasks& jobs);
  const platform::TZkClock& Clock() const { return saving_.Clock(); }

  // The jobs of the document's "Saving" node; without one, the list stays.
  void LoadFromTree(const TZkTreeData& document);
  // Appends a "Saving" node holding the jobs to the document's root.
  void SaveToTree(TZkTreeData& document) const;
  // Reads the job file and recomputes every schedule entry. When the file
  // cannot be read the error is passed on and the job list stays as it was.
  void LoadFromFile(const std::string& path);
  // Writes the job file; its previous content stays when this fails.
  void SaveToFile(const std::string& path) const;

private:
  // Declared before the names below, which refer into it.
  TZkRunRecords records_;

public:
  // Records. The log and error files shared by every run (empty: none),
  // and the history file (an INI file with one section per job); they are
  // the records' own.
  using TSaveComment = std::function<void(TZkThreadSave& sender, const std::string& comment)>;
  std::string& LogFilename = records_.LogFilename;
  std::string& ErrorFilename = records_.ErrorFilename;
  std::string& HistoryFilename = records_.HistoryFilename;
  TSaveComment OnLogEvent;
  TSaveComment OnErrorEvent;

  // One line to the shared log, the run's own log and OnLogEvent.
  virtual void Log(const std::string& text);
  // One line to the shared and the run's error file and OnErrorEvent, then
  // the same text to the log.
  virtual void Error(const std::string& text);

  // The run copy of the job being run; none between runs. Only the worker
  // thread (and what it calls) may use it.
  TZkThreadActiveTask* ActiveTask() const { return activeTask_.get(); }
  void SetActiveTask(std::unique_ptr<TZkThreadActiveTask> task) { activeTask_ = std::move(task); }

  // The records' steps of a run, reached through the engine: see
  // TZkRunRecords. Reading the history reports to Error.
  static void PrepareRecordFiles(TZkThreadActiveTask& task) { TZkRunRecords::PrepareRecordFiles(task); }
  static void FinishRecordFiles(const TZkThreadActiveTask& task) { TZkRunRecords::FinishRecordFiles(task); }
  std::vector<std::string> ReadHistory(const TZkThreadActiveTask& task);
  static std::optional<std::string> FindUpdateBase(const std::vector<std::string>& history) {
    return TZkRunRecords::FindUpdateBase(history);
  }
  static std::string HistoryEntry(const TZkThreadActiveTask& task, TZkRunStatus status, bool updateRun) {
    return TZkRunRecords::HistoryEntry(task, status, updateRun);
  }
  void WriteHistory(const TZkThreadActiveTask& task, const std::vector<std::string>& history) const {
    records_.WriteHistory(task, history);
  }

  const TPropList& Properties() const override { return ClassProperties(); }
  static const TPropList& ClassProperties();

protected:
  // The polling loop: runs the due job of the highest index, or waits
  // 3000 ms when none is due (Stop and Terminate end that wait at once),
  // until the thread is terminated.
  void Execute() override;

  // One dispatcher per run event: each raises its event with the run copy
  // when both are there.
  virtual void DoActionAddFile();
  virtual void DoActionBeginFunc(TZkThreadSaveFunc& func);
  virtual void DoActionCopy();
  virtual void DoActionDuplicate();
  virtual void DoActionEndFunc(TZkThreadSaveFunc& func);
  virtual void DoAfterAddFile();
  virtual void DoAfterBeginFunc();
  virtual void DoAfterCopy();
  virtual void DoAfterDuplicate();
  virtual void DoAfterEndFunc();
  virtual void DoAfterSave();
  // Lets go of the run copy, raises OnAfterBackup with it, then destroys it.
  virtual void DoAfterBackup();
  virtual void DoBeforeAddFile();
  virtual void DoBeforeBeginFunc();
  virtual void DoBeforeCopy();
  virtual void DoBeforeDuplicate();
  virtual void DoBeforeEndFunc();
  virtual void DoBeforeSave();
  virtual void DoBeforeBackup();

private:
  struct TRunState;
  enum class TActionList { alBegin, alEnd };

  void Raise(const TSaveEvent& event);

  // The run copy of the due job of the highest index, with the stored job's
  // manual request cleared and its firing entry moved on; null when no job
  // is due.
  std::unique_ptr<TZkThreadActiveTask> TakeDueJob();
  void RunJob();
  void RunBody(TZkThreadActiveTask& task, TRunState& run);
  void RunActions(TZkThreadActiveTask& task, TActionList which);
  void CollectAndPack(TZkThreadActiveTask& task, TRunState& run);
  static TZkOwnOutputs OwnOutputs(const TZkThreadActiveTask& task);
  void ZipStep(TZkThreadActiveTask& task, TRunState& run);
  void ZipArchiveBody(TZkThreadActiveTask& task, TRunState& run, const TZkZip* base);
  void PackFiles(TZkThreadActiveTask& task, TRunState& run, TZkZip& zip, const TZkZip* base, TZkZip* previous);
  // Reads the new archive back before it is committed: every bad entry is
  // an error line; false when any is bad.
  bool VerifyNewArchive(TZkZip& zip);
  void DeliverArchive(TZkThreadActiveTask& task, TRunState& run);
  // True when the copy is complete at its path.
  bool CopyArchive(TZkThreadActiveTask& task, TRunState& run, TCopyUse use);
  // The run's archive went to `path` beside the output path, not to it.
  void KeptBeside(TRunState& run, const std::string& path);
  // After the archive copies of a complete run: the archive to the remote
  // target under a temporary name, then moved to its own; what earlier
  // uploads left under temporary names goes first.
  void UploadToRemote(TZkThreadActiveTask& task, TRunState& run);
  // The run's log and error files beside the uploaded archive.
  void UploadRecords(TZkThreadActiveTask& task);
  // One file to the remote path through a temporary name; the error line
  // (written) when it did not get there, empty when it did.
  std::string UploadFile(TZkThreadActiveTask& task, const std::string& local, const std::string& remote,
                         bool report);
  // The remote copies of the archives that KeepCount no longer keeps.
  void PruneRemote(TZkThreadActiveTask& task, const std::vector<std::string>& history);
  // The error line of a failed remote step, written; empty for one that
  // went.
  std::string RemoteFailure(const std::string& remote, const platform::TZkRemoteOutcome& outcome);
  void CopyStep(TZkThreadActiveTask& task, TRunState& run);
  // Copies one file of a copy run to `target`, unless what is there or on
  // the way to it must not be written through.
  void CopyOneFile(TZkThreadActiveTask& task, TRunState& run, const std::string& file, const std::string& target,
                   TZkThreadProcess& relay);
  // An error line for a file or folder the run could not read: the run then
  // holds less than it should.
  void SourceError(TRunState& run, const std::string& text);
  // An error line when a file changed while it was read.
  void CheckUnchanged(const std::string& file, const std::optional<platform::FileInfo>& before);
  void CompressProgress(std::int64_t current);
  void WrapUp(TRunState& run);
  // After a complete full run: the archives of older runs that KeepCount
  // no longer keeps are deleted, with their duplicates.
  void PruneArchives(TZkThreadActiveTask& task, const std::vector<std::string>& history);
  bool Interrupted() const { return StopRequested() || Terminated(); }
  // Takes the action platform's sleep lock for the run; without one the
  // run goes on and its log says why.
  void HoldOffSleep(const TZkThreadActiveTask& task);

  TZkThreadSaveTasks saving_;
  std::unique_ptr<TZkThreadActiveTask> activeTask_;
  platform::TZkSleeper* sleeper_ = &platform::SystemSleeper();
  const TZkActionPlatform* actions_ = nullptr;
  // Held by the worker from a run's start to its end, or to its shutdown
  // or restart action.
  std::unique_ptr<platform::TZkSleepLock> sleepLock_;
  platform::TZkRemoteStore* remote_ = &platform::RcloneStore();
  std::atomic<bool> stopRequested_{false};
  mutable std::mutex jobsMutex_;
};

}  // namespace zk
