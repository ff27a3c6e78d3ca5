#pragma once
// A job's archives on its remote target: the names they have there, and
// fetching them back for a restore when they are gone locally.

#include <functional>
#include <string>
#include <vector>

#include "engine/ZkDefineOutput.h"
#include "engine/ZkRunHistory.h"
#include "platform/ZkRemoteStore.h"

namespace zk {

// The remote path of a local archive (or its log and error file): its file
// name below the target, below the name of its folder too when the output
// folder carries the date or time (each dated folder holds the same name).
std::string RemotePathOf(const TZkThreadDefineOutput& output, const std::string& localPath);

// The temporary name an upload goes to before it is moved to `finalName`,
// unique to this upload.
std::string RemoteTemporaryName(const std::string& finalName);
// Whether a name in the remote folder is the temporary name of an upload of
// `finalName` (left by an upload that was stopped, failed or killed).
bool IsRemoteTemporaryOf(const std::string& name, const std::string& finalName);

// Local copies of a run's archives fetched from the remote target, removed
// with this object.
class TZkFetchedArchives {
public:
  TZkFetchedArchives() = default;
  ~TZkFetchedArchives();
  TZkFetchedArchives(const TZkFetchedArchives&) = delete;
  TZkFetchedArchives& operator=(const TZkFetchedArchives&) = delete;

  // The archives a restore of the run reads, the base first. Each one that
  // is gone locally is fetched from the output's remote target into a
  // temporary folder below `workFolder` (empty: the system's temporary
  // folder) and named by its local copy there; `report` has the line of
  // each fetch before it begins, `progress` its bytes, and `stop` ends it.
  // Raises EZkError with the reason when a missing archive cannot be
  // fetched or the fetch was stopped.
  std::vector<std::string> ArchivesOf(const TZkRunRecord& run, const TZkThreadDefineOutput& output,
                                      platform::TZkRemoteStore& store, const std::string& workFolder,
                                      const std::function<void(const std::string&)>& report = {},
                                      const platform::TZkRemoteStore::TStop& stop = {},
                                      const platform::TZkRemoteStore::TProgress& progress = {});

private:
  std::string folder_;
};

}  // namespace zk
