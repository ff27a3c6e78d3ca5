#pragma once
// An open file, closed when the handle goes away. Callers that need to know
// whether everything reached the file call Close themselves and check it; the
// destructor only releases what an error path left open.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/ZkFileSystem.h"

namespace zk::platform {

class FileHandle {
public:
  FileHandle() = default;
  // Takes over an open descriptor.
  explicit FileHandle(int descriptor) : fd_(descriptor) {}
  ~FileHandle();
  FileHandle(FileHandle&& other) noexcept;
  FileHandle& operator=(FileHandle&& other) noexcept;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  // A regular file for reading, other programs free to read and write it
  // meanwhile. Anything else (a directory, a FIFO, a device) is refused
  // without blocking: the handle is then not open.
  static FileHandle OpenForReading(const std::string& path);
  // Creates a regular file for writing or truncates an existing one; the
  // handle is not open on failure, also when the path is not a regular file.
  static FileHandle Create(const std::string& path);
  // An existing regular file for reading and writing; not open otherwise.
  static FileHandle OpenForUpdate(const std::string& path);
  // An existing or new regular file for appending lines, locked against
  // other writers of this kind while the handle is open. Without
  // `followLinks`, a symbolic link at the path is not opened.
  static FileHandle OpenForAppend(const std::string& path, bool followLinks = true);
  // An existing or new file that stands for a lock: the handle holds an
  // exclusive advisory lock on it while open, taken after those that other
  // programs hold. Not open when the file can be neither made nor opened,
  // or cannot be locked.
  static FileHandle OpenLockFile(const std::string& path);

  bool IsOpen() const { return fd_ >= 0; }
  int Descriptor() const { return fd_; }

  // Bytes read, 0 at the end of the file, -1 on failure.
  std::ptrdiff_t Read(char* buffer, std::size_t size);
  // True when every byte was written.
  bool WriteAll(const char* data, std::size_t size);
  // Positioned forms: bytes read (fewer only at the end, -1 on failure), and
  // whether every byte was written.
  std::ptrdiff_t ReadAt(std::int64_t offset, char* buffer, std::size_t size) const;
  bool WriteAt(std::int64_t offset, const char* data, std::size_t size);
  bool Resize(std::int64_t size);
  // The current size, -1 when it cannot be read.
  std::int64_t Size() const;
  // Flushes the file's data to the disk.
  bool Sync();
  // Releases the descriptor in any case; false when closing reported an
  // error (the data may not have reached the file).
  bool Close();

  // Size and last-modified time of the open file; false when they cannot be
  // read.
  bool ReadSizeAndTime(std::int64_t& size, FileTime& modified) const;

  // True when the path names this very file (the same one, or a hard link).
  bool IsSameFile(const std::string& path) const;

  // A second descriptor on the same open file (close-on-exec); not open on
  // failure.
  FileHandle Duplicate() const;

private:
  int fd_ = -1;
};

}  // namespace zk::platform
