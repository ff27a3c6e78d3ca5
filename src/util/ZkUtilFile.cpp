#include "util/ZkUtilFile.h"

#include <cerrno>
#include <vector>

#include "base/ZkError.h"
#include "platform/ZkAtomicFile.h"
#include "platform/ZkDirSearch.h"
#include "platform/ZkFileHandle.h"
#include "platform/ZkFileSystem.h"
#include "platform/ZkVersionInfo.h"

namespace zk {

namespace {

// Large enough to keep the disk busy, small enough that a progress report
// (and with it a stop request) comes often.
constexpr std::size_t kCopyBufferSize = 0x8000;

char Separator(PathStyle style) { return style == PathStyle::Windows ? '\\' : '/'; }

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::size_t LastSeparator(std::string_view path, PathStyle style) {
  return style == PathStyle::Windows ? path.find_last_of("\\:") : path.rfind('/');
}

// Rebuilds a path from its last component to its second, each turned by
// nameOf; the first component (the drive, or empty before a leading "/") is
// kept as written.
std::string ConvertPathNames(const std::string& path, std::string (*nameOf)(const std::string&)) {
  const char separator = Separator(kNativePathStyle);
  std::string result;
  std::string rest = path;
  for (auto at = rest.rfind(separator); at != std::string::npos; at = rest.rfind(separator)) {
    std::string name = nameOf(rest);
    if (name.empty()) name = rest.substr(at + 1);
    result = separator + name + result;
    rest.erase(at);
  }
  return rest + result;
}

}  // namespace

std::string JoinPath(std::string_view folder, std::string_view name, PathStyle style) {
  std::string result(folder);
  if (!result.empty() && result.back() != Separator(style)) result += Separator(style);
  result += name;
  return result;
}

std::string AddBackslash(std::string_view folder, PathStyle style) {
  std::string result(folder);
  if (result.empty() || result.back() == Separator(style)) return result;
  if (style == PathStyle::Windows) {
    if (result.back() == ':') return result;
    if (result.size() == 1 && IsDriveLetter(result[0])) return result + ":\\";
  }
  return result + Separator(style);
}

std::string StripBackslash(std::string_view folder, PathStyle style) {
  const bool driveRoot = style == PathStyle::Windows && folder.size() == 3 && IsDriveLetter(folder[0]) &&
                         folder[1] == ':' && folder[2] == '\\';
  if (folder.size() > 1 && !driveRoot && folder.back() == Separator(style)) folder.remove_suffix(1);
  return std::string(folder);
}

std::string FolderPart(std::string_view path, PathStyle style) {
  const auto at = LastSeparator(path, style);
  return at == std::string_view::npos ? std::string() : std::string(path.substr(0, at + 1));
}

std::string FileNamePart(std::string_view path, PathStyle style) {
  const auto at = LastSeparator(path, style);
  return std::string(at == std::string_view::npos ? path : path.substr(at + 1));
}

std::string ChangeFileExt(std::string_view path, std::string_view extension, PathStyle style) {
  const auto separator = LastSeparator(path, style);
  const auto nameStart = separator == std::string_view::npos ? 0 : separator + 1;
  const auto dot = path.rfind('.');
  const auto stem = dot == std::string_view::npos || dot < nameStart ? path : path.substr(0, dot);
  return std::string(stem) + std::string(extension);
}

bool IsFolder(const std::string& path) {
  const auto info = platform::ReadFileInfo(path);
  return info && (info->Attr & platform::faDirectory) != 0;
}

bool FileExists(const std::string& path) {
  const auto info = platform::ReadFileInfo(path);
  return info && (info->Attr & platform::faDirectory) == 0;
}

std::int64_t FileSize64(const std::string& fileName) {
  // The name is looked up as it stands: a Posix name may hold "?" and "*",
  // and "a?b" must not answer with the size of "aab".
  platform::SearchRecord record;
  if (!platform::FindEntry(fileName, platform::faAnyFile, record) || (record.Attr & platform::faDirectory) != 0)
    return -1;
  return record.Size;
}

bool HasAttributes(const std::string& fileName, int mask) {
  const auto info = platform::ReadFileInfo(fileName);
  return info && (info->Attr & mask) == mask;
}

void CreateFolderTree(std::string_view folder) {
  const char separator = Separator(kNativePathStyle);
  // Every trailing separator goes, so that "a//b" still finds its parent "a".
  while (folder.size() > 1 && folder.back() == separator) folder.remove_suffix(1);
  if (folder.empty()) return;
  const std::string text(folder);
  if (IsFolder(text)) return;
  const std::string parent = FolderPart(text);
  if (parent == text) return;
  CreateFolderTree(parent);
  platform::CreateDirectory(text);
}

bool CreateFolderPath(std::string_view path) {
  const char separator = Separator(kNativePathStyle);
  bool result = true;
  for (auto at = path.find(separator); at != std::string_view::npos; at = path.find(separator, at + 1)) {
    if (IsFolder(std::string(path.substr(0, at + 1)))) continue;
    result = platform::CreateDirectory(std::string(path.substr(0, at)));
  }
  return result;
}

void TZkProgressReceiver::SetMax(std::int64_t) {}
void TZkProgressReceiver::SetMin(std::int64_t) {}
void TZkProgressReceiver::SetPosition(std::int64_t) {}

namespace {

// Fills the buffer unless the file ends first, so that a read the system cut
// short is not taken for the end of the file.
std::ptrdiff_t ReadBlock(platform::FileHandle& in, std::vector<char>& buffer) {
  std::size_t filled = 0;
  while (filled < buffer.size()) {
    const auto count = in.Read(buffer.data() + filled, buffer.size() - filled);
    if (count < 0) return -1;
    if (count == 0) break;
    filled += static_cast<std::size_t>(count);
  }
  return static_cast<std::ptrdiff_t>(filled);
}

}  // namespace

void CopyFileWithProgress(const std::string& source, const std::string& destination, TZkProgressReceiver* receiver) {
  const std::string target = IsFolder(destination) ? AddBackslash(destination) + FileNamePart(source) : destination;
  const auto writeError = [&target] { return WriteErrorOf(target, errno); };
  const auto createError = [&target] { return EZkFileCreateError(FormatMessage("Létrehozási hiba (%s)", {target})); };

  platform::FileHandle in = platform::FileHandle::OpenForReading(source);
  std::int64_t size = 0;
  platform::FileTime modified;
  if (!in.IsOpen() || !in.ReadSizeAndTime(size, modified))
    throw EZkFileOpenError(FormatMessage("Megnyitási hiba (%s)", {source}));
  if (receiver != nullptr) {
    receiver->SetMax(size);
    receiver->SetMin(0);
    receiver->SetPosition(0);
  }

  CreateFolderTree(FolderPart(target));
  // A copy onto the source itself would be no copy at all.
  if (in.IsSameFile(target)) throw createError();
  // The copy takes the destination's place only once it is complete, so a
  // failed or stopped copy leaves what was there before.
  platform::AtomicFile out(target);

  std::vector<char> buffer(kCopyBufferSize);
  std::int64_t done = 0;
  for (;;) {
    const auto count = ReadBlock(in, buffer);
    if (count < 0) throw EZkFileReadError("Olvasási hiba");
    if (count > 0 && !out.File().WriteAll(buffer.data(), static_cast<std::size_t>(count))) throw writeError();
    done += count;
    if (receiver != nullptr) receiver->SetPosition(done);
    if (static_cast<std::size_t>(count) < buffer.size()) break;
  }
  if (!platform::SetModifiedTime(out.TemporaryPath(), modified)) throw writeError();
  out.Commit();
}

std::string LongFileName(const std::string& fileName) {
  platform::SearchRecord record;
  return platform::FindEntry(fileName, platform::faAnyFile, record) ? record.Name : std::string();
}

std::string ShortFileName(const std::string& fileName) { return LongFileName(fileName); }

std::string LongPathName(const std::string& path) { return ConvertPathNames(path, LongFileName); }

std::string ShortPathName(const std::string& path) { return ConvertPathNames(path, ShortFileName); }

std::string FileVersionValue(std::string_view key, const std::string& fileName) {
  return platform::ReadVersionValue(key, fileName);
}

std::string GetFileVersionText(const std::string& fileName) { return FileVersionValue("FileVersion", fileName); }

}  // namespace zk
