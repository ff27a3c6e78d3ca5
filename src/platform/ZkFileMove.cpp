#include "platform/ZkFileMove.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/ZkSystemError.h"

namespace zk::platform {

namespace fs = std::filesystem;

MoveResult MoveEntry(const std::string& from, const std::string& to, bool replace) {
  ClearLastSystemError();
  int result = replace ? rename(from.c_str(), to.c_str())
                       : renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
  // A file system without the no-replace rename: look first, then rename.
  if (result != 0 && errno == EINVAL && !replace) {
    struct stat status{};
    if (lstat(to.c_str(), &status) == 0) return MoveResult::Exists;
    result = rename(from.c_str(), to.c_str());
  }
  if (result == 0) return MoveResult::Moved;
  const int error = errno;
  if (error == EEXIST || error == ENOTEMPTY) return MoveResult::Exists;
  if (error == EXDEV) return MoveResult::CrossDevice;
  SetLastSystemErrno(error);
  return MoveResult::Failed;
}

bool RemoveTree(const std::string& path) {
  ClearLastSystemError();
  std::error_code error;
  fs::remove_all(path, error);
  if (error) SetLastSystemError(error.message());
  return !error;
}

std::string CanonicalPath(const std::string& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(path, error);
  if (error) return path;
  const fs::path canonical = fs::weakly_canonical(absolute, error);
  return (error ? absolute.lexically_normal() : canonical).string();
}

bool IsSymbolicLink(const std::string& path) {
  struct stat status{};
  return lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

bool CopySymbolicLink(const std::string& from, const std::string& to) {
  ClearLastSystemError();
  std::error_code error;
  fs::copy_symlink(from, to, error);
  if (error) SetLastSystemError(error.message());
  return !error;
}

}  // namespace zk::platform
