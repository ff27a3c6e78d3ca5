#include "platform/ZkTrash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/ZkFileMove.h"
#include "platform/ZkSystemError.h"
#include "platform/ZkUserFolders.h"

namespace zk::platform {

namespace {

namespace fs = std::filesystem;

// More numbered names than any trash holds of one name.
constexpr int kMaxNameNumber = 100000;

// The trash and its two folders, private to the user.
bool MakePrivateFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0700) == 0) return true;
  struct stat status{};
  return errno == EEXIST && stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// "a.txt" -> "a.2.txt"; a name whose only dot leads it (".profile") or that
// has none gets the number at its end.
std::string NumberedName(const std::string& name, int number) {
  const auto dot = name.rfind('.');
  const std::string suffix = "." + std::to_string(number);
  if (dot == std::string::npos || dot == 0) return name + suffix;
  return name.substr(0, dot) + suffix + name.substr(dot);
}

// Local time without zone, as the record keeps it: 2026-03-01T14:05:09.
std::string DeletionDate() {
  const time_t now = time(nullptr);
  tm local{};
  char text[32] = {};
  if (localtime_r(&now, &local) == nullptr || strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local) == 0)
    return {};
  return text;
}

bool WriteAll(int fd, const std::string& content) {
  std::size_t done = 0;
  while (done < content.size()) {
    const ssize_t count = write(fd, content.data() + done, content.size() - done);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    done += static_cast<std::size_t>(count);
  }
  return true;
}

// Creates the record exclusively, so that two programs trashing the same
// name at once cannot take the same slot. False with EEXIST when taken.
bool WriteRecord(const std::string& infoPath, const std::string& content) {
  const int fd = open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, content);
  const int writeError = errno;
  const bool closed = close(fd) == 0;
  if (written && closed) return true;
  unlink(infoPath.c_str());
  errno = written ? EIO : writeError;
  return false;
}

}  // namespace

std::string HomeTrashFolder() { return UserDataFolder() + "/Trash"; }

std::string PercentEncodePath(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
                       c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
    if (plain) {
      encoded += c;
    } else {
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 0x0F];
    }
  }
  return encoded;
}

std::optional<std::string> MoveToTrash(const std::string& path) {
  ClearLastSystemError();
  struct stat status{};
  if (lstat(path.c_str(), &status) != 0) {
    SetLastSystemErrno(errno);
    return std::nullopt;
  }
  // The entry itself is trashed, also when it is a link: its own absolute
  // path is recorded, not its target's.
  std::error_code error;
  fs::path absolute = fs::absolute(path, error).lexically_normal();
  if (error) {
    SetLastSystemError(error.message());
    return std::nullopt;
  }
  if (!absolute.has_filename()) absolute = absolute.parent_path();
  const std::string trash = HomeTrashFolder();
  fs::create_directories(fs::path(trash).parent_path(), error);
  if (!MakePrivateFolder(trash) || !MakePrivateFolder(trash + "/files") || !MakePrivateFolder(trash + "/info")) {
    SetLastSystemErrno(errno);
    return std::nullopt;
  }

  const std::string name = absolute.filename().string();
  const std::string record =
      "[Trash Info]\nPath=" + PercentEncodePath(absolute.string()) + "\nDeletionDate=" + DeletionDate() + "\n";
  for (int number = 1; number <= kMaxNameNumber; ++number) {
    const std::string trashName = number == 1 ? name : NumberedName(name, number);
    const std::string infoPath = trash + "/info/" + trashName + ".trashinfo";
    if (!WriteRecord(infoPath, record)) {
      if (errno == EEXIST) continue;
      SetLastSystemErrno(errno);
      return std::nullopt;
    }
    const MoveResult moved = MoveEntry(absolute.string(), trash + "/files/" + trashName, false);
    if (moved == MoveResult::Moved) return trashName;
    const std::string reason = LastSystemErrorText();
    unlink(infoPath.c_str());
    // A name in files/ without its record: leave it to its owner.
    if (moved == MoveResult::Exists) continue;
    if (moved == MoveResult::CrossDevice)
      SetLastSystemError("a Lomtár másik fájlrendszeren van");
    else
      SetLastSystemError(reason);
    return std::nullopt;
  }
  SetLastSystemError("a Lomtárban nincs szabad név");
  return std::nullopt;
}

}  // namespace zk::platform
