#include "platform/ZkAtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <streambuf>

#include "platform/ZkFileHandle.h"
#include "util/ZkError.h"

namespace zk::platform {

namespace {

// An output buffer over an open file that remembers whether any write failed,
// so that a writer which ignores its stream's state cannot hide the failure.
class FileWriteBuffer : public std::streambuf {
public:
  explicit FileWriteBuffer(FileHandle& file) : file_(file) { setp(buffer_.data(), buffer_.data() + buffer_.size()); }

  bool Failed() const { return failed_; }

protected:
  int_type overflow(int_type ch) override {
    if (!Drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(ch, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(ch);
      pbump(1);
    }
    return traits_type::not_eof(ch);
  }

  int sync() override { return Drain() ? 0 : -1; }

private:
  bool Drain() {
    const auto count = static_cast<std::size_t>(pptr() - pbase());
    if (failed_ || (count > 0 && !file_.WriteAll(pbase(), count))) {
      failed_ = true;
      return false;
    }
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return true;
  }

  FileHandle& file_;
  std::array<char, 65536> buffer_{};
  bool failed_ = false;
};

// Removes the temporary file unless it has been renamed into place.
class TemporaryFile {
public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    if (!path_.empty()) unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::string& Path() const { return path_; }
  void Release() { path_.clear(); }

private:
  std::string path_;
};

// The process's file-creation mask. Reading it with umask() would change it
// for a moment under every other thread, so it is read from /proc.
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
  }
  return 022;
}

// A symbolic link is kept: its target is what gets replaced.
std::string ReplacedPath(const std::string& path) {
  struct stat status{};
  if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
  const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
  return resolved ? std::string(resolved.get()) : path;
}

// Makes the rename itself durable. A failure here is not reported: the new
// content is complete and already in place.
void SyncFolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  FileHandle dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.IsOpen()) dir.Sync();
}

}  // namespace

void WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write) {
  const std::string target = ReplacedPath(path);
  const auto writeError = [&path] { return EZkFileWriteError(FormatMessage("Írási hiba (%s)", {path})); };

  std::string pattern = target + ".XXXXXX";
  // Close-on-exec: programs that actions start must not inherit it.
  FileHandle file(mkostemp(pattern.data(), O_CLOEXEC));
  if (!file.IsOpen()) throw EZkFileCreateError(FormatMessage("Létrehozási hiba (%s)", {path}));
  TemporaryFile temporary(pattern);

  // mkstemp makes the file private; give it what the old file had, or what a
  // newly created file would get. File systems without permission bits
  // refuse this, which must not stop the save.
  struct stat old{};
  const mode_t mode = stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : (0666 & ~CurrentUmask());
  static_cast<void>(fchmod(file.Descriptor(), mode));

  {
    FileWriteBuffer buffer(file);
    std::ostream out(&buffer);
    write(out);
    out.flush();
    if (!out || buffer.Failed()) throw writeError();
  }
  if (!file.Sync() || !file.Close()) throw writeError();
  if (rename(temporary.Path().c_str(), target.c_str()) != 0) throw writeError();
  temporary.Release();
  SyncFolderOf(target);
}

}  // namespace zk::platform
