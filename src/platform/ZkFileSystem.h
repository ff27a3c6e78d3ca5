#pragma once
// File attributes, sizes and times as the rest of the system sees them,
// whatever the operating system keeps. On Posix: hidden = the name begins
// with "."; read-only = no owner write permission; archive = regular file;
// directory = directory; system and volume label = never.

#include <cstdint>
#include <optional>
#include <string>

#include "base/ZkDateTime.h"

namespace zk::platform {

inline constexpr int faReadOnly = 0x01;
inline constexpr int faHidden = 0x02;
inline constexpr int faSysFile = 0x04;
inline constexpr int faVolumeID = 0x08;
inline constexpr int faDirectory = 0x10;
inline constexpr int faArchive = 0x20;
// Every attribute a search filter can ask for.
inline constexpr int faAnyFile = 0x3F;
// The entry was reached through a symbolic link; its other attributes, size
// and time are those of the link's target. Collections must not descend into
// such a directory (loops).
inline constexpr int faSymLink = 0x400;

// A last-modified time as the file system keeps it: seconds since 1970-01-01
// UTC and the nanoseconds within that second.
struct FileTime {
  std::int64_t Seconds = 0;
  std::int32_t Nanoseconds = 0;
  friend bool operator==(const FileTime&, const FileTime&) = default;
};

// The same moment as a TDateTime in local time, to the millisecond below it.
// A time outside the years 1 to 9999 gives 0.
TDateTime ToDateTime(FileTime time);
// The other way: a local date and time as the file system keeps it, to the
// millisecond.
FileTime ToFileTime(TDateTime moment);

struct FileInfo {
  int Attr = 0;
  std::int64_t Size = 0;  // 0 for a directory
  FileTime Modified;
};

// The attributes, size and time of a regular file or a directory, following
// symbolic links (faSymLink added). Nothing for a missing entry, a dangling
// link, a socket, a FIFO or a device node.
std::optional<FileInfo> ReadFileInfo(const std::string& path);
// The same for a name looked up in an open folder (its descriptor), which
// spares the kernel walking the folder's path again for every entry.
std::optional<FileInfo> ReadFileInfoAt(int folder, const std::string& name);
// Whether a file or a folder stands at the path, as ReadFileInfo sees it:
// a dangling link or a special file counts as missing.
bool PathExists(const std::string& path);

// False when the time could not be set. Follows symbolic links.
bool SetModifiedTime(const std::string& path, FileTime time);

// Creates one directory (its parent must exist); false on failure, also when
// the directory exists already.
bool CreateDirectory(const std::string& path);

}  // namespace zk::platform
