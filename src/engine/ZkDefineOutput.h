#pragma once
// Where and how a backup is written: the output definition of a job, and of
// a schedule entry that writes elsewhere.

#include <cstdint>
#include <string>

#include "store/Published.h"

namespace zk {

enum class TZkSaveMode { tmCopy, tmZip };

// Where and how a backup is written.
class TZkThreadDefineOutput : public TZkPersistent {
public:
  // `owner` is the job or schedule entry that created the definition.
  explicit TZkThreadDefineOutput(TZkPersistent* owner = nullptr) : owner_(owner) {}
  TZkPersistent* Owner() const { return owner_; }

  std::string OutputFolder;
  bool OutputFolderDate = false;
  bool OutputFolderTime = false;
  bool OutputFolderWeekDay = false;
  bool OutputFolderMonthDay = false;
  bool CreateLogFile = false;
  bool CreateErrorFile = false;
  TZkSaveMode PackMode = TZkSaveMode::tmZip;
  std::string FileName;  // empty: named after the job
  bool FileNameDate = false;
  bool FileNameTime = false;
  bool FileNameWeekDay = false;
  bool FileNameMonthDay = false;
  std::string Temp;  // work folder of zip runs; empty: none
  std::string DuplicateFolder;  // empty: no duplicate
  bool DuplicateFolderDate = false;
  bool DuplicateFolderTime = false;
  bool DuplicateFolderWeekDay = false;
  bool DuplicateFolderMonthDay = false;
  std::string DuplicateFileName;  // empty: named after the job
  bool DuplicateFileNameDate = false;
  bool DuplicateFileNameTime = false;
  bool DuplicateFileNameWeekDay = false;
  bool DuplicateFileNameMonthDay = false;
  // A zip run reads its new archive back before it takes the place of the
  // previous one.
  bool VerifyArchive = false;
  // After a complete full run under a dated name, only the archives of the
  // newest KeepCount complete full runs stay (and what their differential
  // archives need); 0 keeps everything.
  std::int32_t KeepCount = 0;
  // An rclone path ("nas:mentes/laptop") that every complete zip archive is
  // uploaded to, with the run's log and error files; empty: none.
  std::string RemoteTarget;

  // From another output definition: every published property, not Owner.
  void Assign(const TZkPersistent& source) override;
  const TPropList& Properties() const override { return ClassProperties(); }
  static const TPropList& ClassProperties();

private:
  TZkPersistent* owner_;
};

}  // namespace zk
