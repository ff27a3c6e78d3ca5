#pragma once
// TZkJobAccess: what the settings window reaches of the job list component
// that opens it: the job document, its autosave and the selected job. The
// component hands itself over as this, so the window includes nothing of it.

#include <optional>
#include <string>

#include "store/Published.h"
#include "system/ZkService.h"
#include "util/ZkFormatSettings.h"

namespace zk {
class TZkTreeData;
}

namespace zk::ui {

// The pages of the settings window shown beside the general one.
enum class TBackupOption { bdShowTiming, bdShowService, bdShowFiles };
using TBackupOptions = TZkSet<TBackupOption>;

class TZkJobAccess {
public:
  virtual ~TZkJobAccess() = default;

  // The job document itself, for the window's binding.
  virtual TZkTreeData& Document() = 0;
  // Writes the job file when a document is open, autosave is on and no
  // batch of changes is under way.
  virtual void AutoSaveNow() = 0;
  // The job the window edits, empty for none.
  virtual const std::string& Select() const = 0;
  // A job file is loaded.
  virtual bool IsOpen() const = 0;
  // The window shows the job and changes nothing.
  virtual bool ReadOnly() const = 0;
  // The number format of the times the window writes.
  virtual const TFormatSettings& FormatSettings() const = 0;
  // Where the service actions pick their service from; none without one.
  virtual const std::optional<TZkServiceContext>& ServiceContext() const = 0;

  // True unless the window may change the job: not read-only, a job file
  // open and a job selected.
  bool IsLocked() const { return ReadOnly() || !IsOpen() || Select().empty(); }
};

}  // namespace zk::ui
