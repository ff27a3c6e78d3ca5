#include "engine/ZkRestore.h"

#include <map>
#include <set>
#include <utility>

#include "base/ZkError.h"
#include "platform/ZkAtomicFile.h"
#include "platform/ZkFileMove.h"
#include "platform/ZkFileSystem.h"
#include "util/ZkUtilFile.h"
#include "zip/ZkZipRead.h"

namespace zk {

namespace {

// Ends the file being written when a stop is asked for; never leaves Run.
class TStop {};

// The name without the "/" of a folder entry.
std::string WithoutTrailingSlash(std::string name) {
  while (!name.empty() && name.back() == '/') name.pop_back();
  return name;
}

// Compares at the zip's two-second resolution, so that a file restored
// before counts as equal, not older.
bool IsNewerThanFile(TDateTime entry, const std::string& path) {
  const auto info = platform::ReadFileInfo(path);
  if (!info) return true;
  const std::int64_t file = info->Modified.Seconds - (info->Modified.Seconds % 2 + 2) % 2;
  return platform::ToFileTime(entry).Seconds > file;
}

}  // namespace

std::optional<std::string> UnsafeEntryName(const std::string& name) {
  if (name.empty()) return "üres név";
  if (name.front() == '/' || name.front() == '\\' || (name.size() >= 2 && name[1] == ':'))
    return "abszolút útvonal";
  if (name.find('\0') != std::string::npos) return "érvénytelen név";
  const std::string plain = WithoutTrailingSlash(name);
  std::size_t start = 0;
  for (;;) {
    const std::size_t slash = plain.find('/', start);
    const std::string part = plain.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    if (part == "..") return "\"..\" az útvonalban";
    if (part.empty() || part == ".") return "érvénytelen név";
    if (slash == std::string::npos) return std::nullopt;
    start = slash + 1;
  }
}

TZkRestore::TZkRestore(const std::vector<std::string>& archives) {
  std::map<std::string, TZkRestoreItem> byName;
  for (std::size_t a = 0; a < archives.size(); ++a) {
    readers_.push_back(std::make_unique<TZkZipReader>(archives[a]));
    const TZkZipReader& reader = *readers_.back();
    for (std::size_t e = 0; e < reader.Entries().size(); ++e) {
      const TZkZipReadEntry& entry = reader.Entries()[e];
      TZkRestoreItem item;
      item.Name = entry.Name;
      const std::string name = WithoutTrailingSlash(entry.Name);
      item.OriginalPath = '/' + name;
      item.Size = entry.Central.UncompressedSize;
      item.DateTime = entry.DateTime;
      item.Folder = entry.IsDirectory();
      item.Archive = a;
      item.Entry = e;
      byName[name] = std::move(item);
    }
  }
  for (auto& [name, item] : byName) items_.push_back(std::move(item));
}

TZkRestore::~TZkRestore() = default;

std::string TZkRestore::DestinationOf(const TZkRestoreItem& item) const {
  if (!TargetFolder) return item.OriginalPath;
  return WithoutTrailingSlash(*TargetFolder) + "/" + WithoutTrailingSlash(item.Name);
}

bool TZkRestore::IsSelected(const TZkRestoreItem& item, const std::vector<std::string>& paths) {
  if (paths.empty()) return true;
  for (const std::string& given : paths) {
    const std::string path = WithoutTrailingSlash(given);
    if (path.empty()) return true;  // the root holds everything
    if (item.OriginalPath == path || item.OriginalPath.starts_with(path + "/")) return true;
  }
  return false;
}

namespace {

// Creates the folders of `path` that are missing. Below the target folder
// every existing step must be a real folder: a symbolic link there could
// lead out of it.
void MakeFolders(const std::string& folder, const std::optional<std::string>& target) {
  const std::string path = WithoutTrailingSlash(folder);
  if (!target) {
    if (!IsFolder(path + "/") && !CreateFolderPath(path + "/")) throw EZkFileCreateError("a mappa nem hozható létre");
    return;
  }
  const std::string root = WithoutTrailingSlash(*target);
  if (!IsFolder(root + "/") && !CreateFolderPath(root + "/")) throw EZkFileCreateError("a mappa nem hozható létre");
  std::size_t at = root.size();
  while (at < path.size()) {
    const std::size_t next = path.find('/', at + 1);
    const std::string step = path.substr(0, next);
    if (platform::IsSymbolicLink(step)) throw EZkFileCreateError("szimbolikus link vezetne ki a célmappából");
    const auto info = platform::ReadFileInfo(step);
    if (!info) {
      if (!platform::CreateDirectory(step)) throw EZkFileCreateError("a mappa nem hozható létre");
    } else if ((info->Attr & platform::faDirectory) == 0) {
      throw EZkFileCreateError("az útvonalon fájl áll mappa helyett");
    }
    if (next == std::string::npos) break;
    at = next;
  }
}

}  // namespace

void TZkRestore::Fail(const TZkRestoreItem& item, const std::string& why, TZkRestoreCounts& counts) {
  ++counts.Failed;
  if (OnError) OnError(item.Name + " (" + why + ")");
}

bool TZkRestore::RestoreFile(const TZkRestoreItem& item, const std::string& destination, std::uint64_t& done,
                             std::uint64_t total) {
  if (TargetFolder && platform::IsSymbolicLink(destination))
    throw EZkFileCreateError("szimbolikus link vezetne ki a célmappából");
  const bool exists = platform::PathExists(destination) || platform::IsSymbolicLink(destination);
  if (exists && !Replaces(item, destination)) return false;
  platform::AtomicFile file(destination);
  const std::uint64_t start = done;
  readers_[item.Archive]->Extract(item.Entry, [&](const char* data, std::size_t size) {
    if (StopRequested.load()) throw TStop();
    if (!file.File().WriteAll(data, size)) throw EZkFileWriteError("írási hiba");
    done += size;
    if (OnProgress) OnProgress(done, total, item);
  });
  if (!platform::SetModifiedTime(file.TemporaryPath(), platform::ToFileTime(item.DateTime)))
    throw EZkFileWriteError("a dátum nem állítható be");
  // Made durable together at the end of the run: a flush per file would
  // cost far more than the restore itself.
  file.Commit(false);
  written_.insert(FolderPart(destination));
  done = start + item.Size;
  return true;
}

bool TZkRestore::Replaces(const TZkRestoreItem& item, const std::string& destination) {
  switch (Overwrite) {
    case TZkOverwrite::owNever:
      return false;
    case TZkOverwrite::owNewer:
      return IsNewerThanFile(item.DateTime, destination);
    case TZkOverwrite::owAlways:
      return true;
    case TZkOverwrite::owAsk:
      break;
  }
  if (replaceRest_) return *replaceRest_;
  const TZkRestoreAnswer answer = OnAsk ? OnAsk(item, destination) : TZkRestoreAnswer::raNo;
  if (answer == TZkRestoreAnswer::raAll || answer == TZkRestoreAnswer::raNone)
    replaceRest_ = answer == TZkRestoreAnswer::raAll;
  return answer == TZkRestoreAnswer::raYes || answer == TZkRestoreAnswer::raAll;
}

TZkRestoreCounts TZkRestore::Run(const std::vector<std::size_t>& chosen) {
  TZkRestoreCounts counts;
  replaceRest_.reset();
  std::uint64_t total = 0;
  for (const std::size_t index : chosen)
    if (!items_.at(index).Folder) total += items_[index].Size;
  std::uint64_t done = 0;
  std::vector<std::pair<std::string, TDateTime>> folders;
  for (const std::size_t index : chosen) {
    if (StopRequested.load()) break;
    const TZkRestoreItem& item = items_.at(index);
    if (OnProgress) OnProgress(done, total, item);
    if (const auto unsafe = UnsafeEntryName(item.Name)) {
      Fail(item, *unsafe, counts);
      done += item.Folder ? 0 : item.Size;
      continue;
    }
    const std::string destination = DestinationOf(item);
    const std::uint64_t before = done;
    try {
      if (item.Folder) {
        // Folders are not counted: they come with their files. Only those
        // made here get the entry's time; one that was there (/home) keeps
        // its own.
        const bool existed = IsFolder(destination + "/");
        MakeFolders(destination, TargetFolder);
        if (!existed) folders.emplace_back(destination, item.DateTime);
        continue;
      }
      MakeFolders(FolderPart(destination), TargetFolder);
      if (RestoreFile(item, destination, done, total)) {
        ++counts.Restored;
      } else {
        ++counts.Skipped;
        done = before + item.Size;
      }
    } catch (const TStop&) {
      break;
    } catch (const EZkError& error) {
      Fail(item, error.what(), counts);
      done = before + item.Size;
    }
  }
  // Folders last, the deepest first: writing into a folder changes its time.
  // A folder without an entry of its own keeps the time of the restore.
  for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder)
    if (!platform::SetModifiedTime(folder->first, platform::ToFileTime(folder->second)) && OnError)
      OnError(folder->first + " (a dátum nem állítható be)");
  const std::vector<std::string> failed =
      platform::SyncFileSystems(std::vector<std::string>(written_.begin(), written_.end()));
  if (OnError)
    for (const std::string& folder : failed) OnError(folder + " (írási hiba)");
  written_.clear();
  return counts;
}

}  // namespace zk
