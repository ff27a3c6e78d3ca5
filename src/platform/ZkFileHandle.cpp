#include "platform/ZkFileHandle.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace zk::platform {

namespace {

// Non-blocking so that opening a FIFO cannot hang; the flag has no effect on
// the regular files that are kept open.
FileHandle OpenRegular(const std::string& path, int flags) {
  FileHandle file(open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666));
  struct stat status{};
  if (!file.IsOpen() || fstat(file.Descriptor(), &status) != 0 || !S_ISREG(status.st_mode)) return FileHandle();
  return file;
}

}  // namespace

FileHandle::~FileHandle() {
  if (fd_ >= 0) close(fd_);
}

FileHandle::FileHandle(FileHandle&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

FileHandle FileHandle::OpenForReading(const std::string& path) { return OpenRegular(path, O_RDONLY); }

FileHandle FileHandle::Create(const std::string& path) { return OpenRegular(path, O_WRONLY | O_CREAT | O_TRUNC); }

FileHandle FileHandle::OpenForUpdate(const std::string& path) { return OpenRegular(path, O_RDWR); }

FileHandle FileHandle::OpenForAppend(const std::string& path, bool followLinks) {
  FileHandle file = OpenRegular(path, O_WRONLY | O_CREAT | O_APPEND | (followLinks ? 0 : O_NOFOLLOW));
  // Others that append the same way wait for the line in progress.
  if (file.IsOpen() && flock(file.Descriptor(), LOCK_EX) != 0) return FileHandle();
  return file;
}

FileHandle FileHandle::OpenLockFile(const std::string& path) {
  FileHandle file(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666));
  // A lock file someone else made read-only still locks.
  if (!file.IsOpen()) file = FileHandle(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  while (file.IsOpen() && flock(file.Descriptor(), LOCK_EX) != 0)
    if (errno != EINTR) return FileHandle();
  return file;
}

std::ptrdiff_t FileHandle::ReadAt(std::int64_t offset, char* buffer, std::size_t size) const {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t count = pread(fd_, buffer + done, size - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return -1;
    if (count == 0) break;
    done += static_cast<std::size_t>(count);
  }
  return static_cast<std::ptrdiff_t>(done);
}

bool FileHandle::WriteAt(std::int64_t offset, const char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t count = pwrite(fd_, data + done, size - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    done += static_cast<std::size_t>(count);
  }
  return true;
}

bool FileHandle::Resize(std::int64_t size) { return ftruncate(fd_, static_cast<off_t>(size)) == 0; }

std::int64_t FileHandle::Size() const {
  struct stat status{};
  return fstat(fd_, &status) == 0 ? static_cast<std::int64_t>(status.st_size) : -1;
}

std::ptrdiff_t FileHandle::Read(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t count = read(fd_, buffer, size);
    if (count >= 0) return count;
    if (errno != EINTR) return -1;
  }
}

bool FileHandle::WriteAll(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t count = write(fd_, data, size);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    data += count;
    size -= static_cast<std::size_t>(count);
  }
  return true;
}

bool FileHandle::Sync() { return fsync(fd_) == 0; }

bool FileHandle::Close() {
  if (fd_ < 0) return false;
  // The descriptor is gone even when close reports EINTR; never retry.
  return close(std::exchange(fd_, -1)) == 0;
}

bool FileHandle::ReadSizeAndTime(std::int64_t& size, FileTime& modified) const {
  struct stat status{};
  if (fstat(fd_, &status) != 0) return false;
  size = static_cast<std::int64_t>(status.st_size);
  modified.Seconds = static_cast<std::int64_t>(status.st_mtim.tv_sec);
  modified.Nanoseconds = static_cast<std::int32_t>(status.st_mtim.tv_nsec);
  return true;
}

FileHandle FileHandle::Duplicate() const {
  return FileHandle(fd_ >= 0 ? fcntl(fd_, F_DUPFD_CLOEXEC, 0) : -1);
}

bool FileHandle::IsSameFile(const std::string& path) const {
  struct stat mine{};
  struct stat other{};
  return fstat(fd_, &mine) == 0 && stat(path.c_str(), &other) == 0 && mine.st_dev == other.st_dev &&
         mine.st_ino == other.st_ino;
}

}  // namespace zk::platform
