#include "platform/ZkFileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <string_view>

#include "platform/ZkClock.h"

namespace zk::platform {

namespace {

// The last component of a path, ignoring trailing separators.
std::string_view LastComponent(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  const auto slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool IsHiddenName(std::string_view name) {
  return !name.empty() && name.front() == '.' && name != "." && name != "..";
}

}  // namespace

TDateTime ToDateTime(FileTime time) {
  return LocalDateTime(time.Seconds, static_cast<int>(time.Nanoseconds / 1000000));
}

namespace {

// What lstat (and, for a link, stat) found at a name.
std::optional<FileInfo> InfoOf(const struct stat& linkStat, const struct stat& target, std::string_view name) {
  FileInfo info;
  if (S_ISLNK(linkStat.st_mode)) info.Attr |= faSymLink;
  if (S_ISREG(target.st_mode)) {
    info.Attr |= faArchive;
    info.Size = static_cast<std::int64_t>(target.st_size);
  } else if (S_ISDIR(target.st_mode)) {
    info.Attr |= faDirectory;
  } else {
    return std::nullopt;  // sockets, FIFOs and devices are never backed up
  }
  if ((target.st_mode & S_IWUSR) == 0) info.Attr |= faReadOnly;
  if (IsHiddenName(name)) info.Attr |= faHidden;
  info.Modified.Seconds = static_cast<std::int64_t>(target.st_mtim.tv_sec);
  info.Modified.Nanoseconds = static_cast<std::int32_t>(target.st_mtim.tv_nsec);
  return info;
}

}  // namespace

std::optional<FileInfo> ReadFileInfo(const std::string& path) {
  return path.empty() ? std::nullopt : ReadFileInfoAt(AT_FDCWD, path);
}

std::optional<FileInfo> ReadFileInfoAt(int folder, const std::string& name) {
  struct stat linkStat{};
  if (fstatat(folder, name.c_str(), &linkStat, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
  struct stat target = linkStat;
  if (S_ISLNK(linkStat.st_mode) && fstatat(folder, name.c_str(), &target, 0) != 0) return std::nullopt;  // dangling
  return InfoOf(linkStat, target, LastComponent(name));
}

FileTime ToFileTime(TDateTime moment) {
  const TDateTimeParts parts = DecodeDateTime(moment);
  std::tm local{};
  local.tm_year = parts.Year - 1900;
  local.tm_mon = parts.Month - 1;
  local.tm_mday = parts.Day;
  local.tm_hour = parts.Hour;
  local.tm_min = parts.Minute;
  local.tm_sec = parts.Second;
  local.tm_isdst = -1;  // as the zone had it on that day
  return {static_cast<std::int64_t>(mktime(&local)), parts.MilliSecond * 1000000};
}

bool PathExists(const std::string& path) {
  return ReadFileInfo(path).has_value();
}

bool SetModifiedTime(const std::string& path, FileTime time) {
  timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;  // leave the access time alone
  times[1].tv_sec = static_cast<time_t>(time.Seconds);
  times[1].tv_nsec = time.Nanoseconds;
  return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool CreateDirectory(const std::string& path) {
  return !path.empty() && mkdir(path.c_str(), 0777) == 0;
}

}  // namespace zk::platform
