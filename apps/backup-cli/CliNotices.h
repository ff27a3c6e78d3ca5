#pragma once
// serve's desktop notices: a run that ended stopped, with error lines or
// without its remote copy (its own status "Ok" or not), a job overdue (once a day each), and on request a good run. Without a
// notification service nothing is sent, and the output says why once.

#include <map>
#include <mutex>
#include <string>

#include "CliFiles.h"
#include "base/ZkDateTime.h"
#include "platform/ZkDesktopBus.h"

namespace zk::cli {

class TCliNotices {
public:
  TCliNotices(platform::TZkNotifier& notifier, bool notifySuccess)
      : notifier_(notifier), notifySuccess_(notifySuccess) {}

  // The end of a job's run: its history line is written; `errorLines` are
  // the run's own, `uploadFailure` the error line of its archive's upload
  // that did not go (empty: it went, or there was none). Called on the
  // engine's thread.
  void RunEnded(const TZkProgramFiles& files, const std::string& job, int errorLines,
                const std::string& uploadFailure);
  // Every overdue job of the job file, unless it was named on this day
  // already.
  void CheckOverdue(const TZkProgramFiles& files, TDateTime now);

private:
  void Send(const std::string& summary, const std::string& body);

  platform::TZkNotifier& notifier_;
  bool notifySuccess_;
  std::mutex mutex_;
  // The day each overdue job was last named on.
  std::map<std::string, int> overdueDay_;
  bool unsentSaid_ = false;
};

}  // namespace zk::cli
