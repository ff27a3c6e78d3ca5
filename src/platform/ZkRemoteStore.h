#pragma once
// A remote store reached through rclone, run as a child process: files
// copied there and back, moved, deleted and listed by rclone paths such as
// "nas:mentes/laptop" (a remote of rclone's configuration, or one given
// through its RCLONE_CONFIG_<NAME>_... environment).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zk::platform {

enum class TZkRemoteResult {
  rrOk,
  rrFailed,   // rclone ran and reported an error
  rrMissing,  // rclone could not be started (not installed)
  rrStopped,  // the stop request ended it; rclone was killed
};

struct TZkRemoteOutcome {
  TZkRemoteResult Result = TZkRemoteResult::rrOk;
  // rclone's own last error line when it failed.
  std::string Message;
  bool Ok() const { return Result == TZkRemoteResult::rrOk; }
};

class TZkRemoteStore {
public:
  virtual ~TZkRemoteStore() = default;
  // Asked every 50 ms while rclone works: true kills it.
  using TStop = std::function<bool()>;
  // Bytes sent or received so far, as rclone's statistics report them
  // (once a second, and once at the end).
  using TProgress = std::function<void(std::int64_t done, std::int64_t total)>;

  // The local file to the remote path, always transferred (never skipped
  // for a file there of the same size and time).
  virtual TZkRemoteOutcome CopyTo(const std::string& local, const std::string& remote, const TStop& stop,
                                  const TProgress& progress) = 0;
  // A server-side move (or copy and delete where the store has no move),
  // replacing what stands at `to`.
  virtual TZkRemoteOutcome MoveTo(const std::string& from, const std::string& to) = 0;
  // The remote file to a local path.
  virtual TZkRemoteOutcome Fetch(const std::string& remote, const std::string& local, const TStop& stop,
                                 const TProgress& progress) = 0;
  virtual TZkRemoteOutcome DeleteFile(const std::string& remote) = 0;
  // The names of the files directly in a remote folder; a folder that is
  // not there holds none.
  virtual TZkRemoteOutcome ListFiles(const std::string& folder, std::vector<std::string>& names,
                                     const TStop& stop) = 0;
  // The configured remotes ("nas:").
  virtual TZkRemoteOutcome ListRemotes(std::vector<std::string>& names, const TStop& stop) = 0;
};

// rclone found in PATH.
TZkRemoteStore& RcloneStore();
// The program given (a test's wrapper, or a path where none is).
std::unique_ptr<TZkRemoteStore> MakeRcloneStore(const std::string& program);

// A remote path joined with a name below it: "nas:" and "nas:a/" take the
// name as it is, anything else after a "/".
std::string RemoteJoin(const std::string& folder, const std::string& name);

}  // namespace zk::platform
