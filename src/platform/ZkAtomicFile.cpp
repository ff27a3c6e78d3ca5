#include "platform/ZkAtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>
#include <streambuf>

#include "base/ZkError.h"

namespace zk::platform {

namespace {

// The temporary name is ".<target name>~<process id>.XXXXXX.part": hidden,
// recognisable, and telling which process may still be writing it.
constexpr std::string_view kSuffix = ".part";
constexpr std::size_t kRandomLength = 6;
// Keeps the temporary name within the usual 255-byte limit of a file name.
constexpr std::size_t kMaxKeptName = 200;

// An output buffer over an open file that remembers whether any write failed,
// so that a writer which ignores its stream's state cannot hide the failure.
class FileWriteBuffer : public std::streambuf {
public:
  explicit FileWriteBuffer(FileHandle& file) : file_(file) { setp(buffer_.data(), buffer_.data() + buffer_.size()); }

  bool Failed() const { return failed_; }
  // The error number of the failed write; 0 without one.
  int Error() const { return error_; }

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
      if (!failed_) error_ = errno;
      failed_ = true;
      return false;
    }
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return true;
  }

  FileHandle& file_;
  std::array<char, 65536> buffer_{};
  bool failed_ = false;
  int error_ = 0;
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

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Makes the rename itself durable. A failure here is not reported: the new
// content is complete and already in place.
void SyncFolderOf(const std::string& path) {
  FileHandle dir(open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.IsOpen()) dir.Sync();
}

// The first bytes of a name, cut before a UTF-8 continuation byte.
std::string_view KeptName(std::string_view name) {
  if (name.size() <= kMaxKeptName) return name;
  std::size_t size = kMaxKeptName;
  while (size > 0 && (static_cast<unsigned char>(name[size]) & 0xC0) == 0x80) --size;
  return name.substr(0, size);
}

std::string TemporaryPattern(const std::string& target) {
  const auto slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string_view name = std::string_view(target).substr(slash == std::string::npos ? 0 : slash + 1);
  return folder + "." + std::string(KeptName(name)) + "~" + std::to_string(getpid()) + "." +
         std::string(kRandomLength, 'X') + std::string(kSuffix);
}

// The process id in a temporary name; 0 when the name is not one.
pid_t WriterOf(std::string_view name) {
  if (name.size() < 1 + 2 + 1 + kRandomLength + kSuffix.size() || name.front() != '.' || !name.ends_with(kSuffix))
    return 0;
  name.remove_suffix(kSuffix.size() + kRandomLength);
  if (name.back() != '.') return 0;
  name.remove_suffix(1);
  const auto tilde = name.rfind('~');
  if (tilde == std::string_view::npos || tilde + 1 == name.size()) return 0;
  pid_t pid = 0;
  const char* end = name.data() + name.size();
  const auto [at, error] = std::from_chars(name.data() + tilde + 1, end, pid);
  return error == std::errc() && at == end && pid > 0 ? pid : 0;
}

}  // namespace

AtomicFile::AtomicFile(const std::string& path, TLinkRule links)
    : path_(path), target_(links == TLinkRule::lrFollow ? ReplacedPath(path) : path) {
  struct stat link{};
  if (links == TLinkRule::lrRefuse && lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode))
    throw EZkFileCreateError(FormatMessage("A cél szimbolikus link, nem írható felül (%s)", {path_}));
  // Only a regular file is ever replaced: never a folder, a FIFO or a device.
  struct stat existing{};
  if (stat(target_.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode))
    throw EZkFileCreateError(FormatMessage("Létrehozási hiba (%s)", {path_}));
  std::string pattern = TemporaryPattern(target_);
  // Close-on-exec: programs that actions start must not inherit it.
  file_ = FileHandle(mkostemps(pattern.data(), static_cast<int>(kSuffix.size()), O_CLOEXEC));
  if (!file_.IsOpen()) throw EZkFileCreateError(FormatMessage("Létrehozási hiba (%s)", {path_}));
  temporary_ = std::move(pattern);
  // mkstemp makes the file private; give it what the old file had, or what a
  // newly created file would get. File systems without permission bits
  // refuse this, which must not stop the write.
  struct stat old{};
  const mode_t mode = stat(target_.c_str(), &old) == 0 ? (old.st_mode & 07777) : (0666 & ~CurrentUmask());
  static_cast<void>(fchmod(file_.Descriptor(), mode));
}

AtomicFile::~AtomicFile() {
  if (!committed_ && !temporary_.empty()) unlink(temporary_.c_str());
}

void AtomicFile::Commit(bool flush) { CommitAs(path_, flush); }

void AtomicFile::CommitAs(const std::string& path, bool flush) {
  if (committed_) return;
  const std::string& target = path == path_ ? target_ : path;
  if ((flush && !file_.Sync()) || rename(temporary_.c_str(), target.c_str()) != 0) throw WriteErrorOf(path, errno);
  committed_ = true;
  if (flush) SyncFolderOf(target);
}

std::vector<std::string> SyncFileSystems(const std::vector<std::string>& folders) {
  std::vector<std::string> failed;
  std::set<dev_t> synced;
  for (const std::string& folder : folders) {
    FileHandle dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat status{};
    if (!dir.IsOpen() || fstat(dir.Descriptor(), &status) != 0) {
      failed.push_back(folder);
      continue;
    }
    if (!synced.insert(status.st_dev).second) continue;
    if (syncfs(dir.Descriptor()) != 0) failed.push_back(folder);
  }
  return failed;
}

void WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write) {
  // What a killed save left beside the file goes with the next one.
  RemoveAtomicLeftovers(FolderOf(ReplacedPath(path)));
  AtomicFile file(path, TLinkRule::lrFollow);
  {
    FileWriteBuffer buffer(file.File());
    std::ostream out(&buffer);
    write(out);
    out.flush();
    if (!out || buffer.Failed()) throw WriteErrorOf(path, buffer.Error());
  }
  file.Commit();
}

bool IsAtomicTemporaryName(std::string_view fileName) { return WriterOf(fileName) != 0; }

void RemoveAtomicLeftovers(const std::string& folder) {
  const auto close = [](DIR* open) { closedir(open); };
  const std::unique_ptr<DIR, decltype(close)> dir(opendir(folder.c_str()), close);
  if (!dir) return;
  const pid_t self = getpid();
  const std::string prefix = folder.ends_with('/') ? folder : folder + "/";
  while (const dirent* entry = readdir(dir.get())) {
    const pid_t writer = WriterOf(entry->d_name);
    if (writer == 0 || writer == self) continue;
    if (kill(writer, 0) == 0 || errno != ESRCH) continue;
    struct stat status{};
    const std::string path = prefix + entry->d_name;
    if (lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode)) unlink(path.c_str());
  }
}

}  // namespace zk::platform
