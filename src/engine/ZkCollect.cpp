// File collection: turning a job's include and exclude lists into the flat
// list of files a run saves, with the sum of their sizes. An empty folder
// of a tree stands in the list as its path with a trailing separator.

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/ZkError.h"
#include "engine/ZkEngineWaits.h"
#include "engine/ZkJob.h"
#include "engine/ZkRunControl.h"
#include "platform/ZkAtomicFile.h"
#include "platform/ZkDirSearch.h"
#include "platform/ZkFileSystem.h"
#include "util/ZkUtilFile.h"

namespace zk {
namespace {

constexpr const char* kAllEntries = "*.*";

using TNameSet = TZkThreadSaveFile::TTaken;

// A path in one spelling: no doubled separators, no "." or "..", no
// trailing separator.
std::string NormalPath(const std::string& path) {
  std::string normal = std::filesystem::path(path).lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

// The run's own outputs, by name first so that most entries cost one lookup.
class TOwnOutputs {
public:
  explicit TOwnOutputs(const TZkOwnOutputs& own) {
    for (const std::string& file : own.Files) Add(file, files_, fileNames_);
    for (const std::string& folder : own.Folders) Add(folder, folders_, folderNames_);
  }
  bool IsFile(const std::string& name, const std::string& path) const {
    return platform::IsAtomicTemporaryName(name) || (fileNames_.contains(name) && files_.contains(NormalPath(path)));
  }
  bool IsFolder(const std::string& path) const { return !folders_.empty() && folders_.contains(NormalPath(path)); }
  bool IsFolder(const std::string& name, const std::string& path) const {
    return folderNames_.contains(name) && folders_.contains(NormalPath(path));
  }

private:
  static void Add(const std::string& path, TNameSet& paths, TNameSet& names) {
    if (path.empty()) return;
    const std::string normal = NormalPath(path);
    paths.insert(normal);
    names.insert(FileNamePart(normal));
  }

  TNameSet files_, fileNames_, folders_, folderNames_;
};

bool ShouldStop(const TZkRunControl& control) {
  return control.StopRequested() || control.Terminated();
}

// A name matches as a directory search for the mask would find it: by the
// wildcard rules, or, for a mask without wildcards, as exactly that name
// (such a search looks up the one entry; letter case is not folded).
bool NameMatches(std::string_view name, std::string_view mask) {
  return mask.find_first_of("*?") == std::string_view::npos ? name == mask : platform::MatchesMask(name, mask);
}

bool MatchesAny(std::string_view name, const std::vector<std::string>& masks) {
  return std::any_of(masks.begin(), masks.end(), [name](const std::string& mask) { return NameMatches(name, mask); });
}

// The error line for a folder or entry the walk could not read.
std::string ReadErrorText(const std::string& path, int error) {
  if (error == EACCES || error == EPERM) return FormatMessage("Hozzáférés megtagadva (%s)", {path});
  if (error == ENAMETOOLONG) return FormatMessage("Az útvonal túl hosszú (%s)", {path});
  return FormatMessage("Olvasási hiba (%s)", {path});
}

struct TWalk {
  const TZkThreadSaveFile& Spec;
  const std::vector<std::string>* ExcludedMasks;
  const TNameSet* ExcludedPaths;
  const TOwnOutputs& Own;
  TZkRunControl& Control;
  std::vector<std::string>& Result;
  // The files taken already (by an earlier include that overlaps), and where
  // read errors go; either may be null.
  TNameSet* Taken;
  const TZkCollectReport* Report;

  // The files of one folder, then its sub-folders, depth first.
  std::int64_t Folder(const std::string& folder, const std::string& mask) const {
    if (Own.IsFolder(folder)) return 0;
    Control.Wait(kFolderWaitMs);
    std::int64_t total = 0;
    std::vector<std::string> subFolders;
    // One listing serves the files (by the mask), the excluded masks and the
    // sub-folders (all of them), so that a folder is read once.
    // A folder that could not be read all is not empty: it is not kept as
    // a folder entry of its own.
    bool unreadable = false;
    platform::DirSearch::TReport report = [this, &unreadable](const std::string& path, int error) {
      unreadable = true;
      if (Report != nullptr && *Report) (*Report)(ReadErrorText(path, error));
    };
    platform::DirSearch search(JoinPath(folder, kAllEntries), platform::faAnyFile, std::move(report));
    platform::SearchRecord entry;
    bool empty = true;
    while (!ShouldStop(Control) && search.Next(entry)) {
      empty = false;
      if ((entry.Attr & platform::faDirectory) != 0) {
        // A folder reached through a link is not descended: it may lead
        // back up the tree.
        if (Spec.SubDir && (entry.Attr & platform::faSymLink) == 0 &&
            !Own.IsFolder(entry.Name, JoinPath(folder, entry.Name)))
          subFolders.push_back(std::move(entry.Name));
        continue;
      }
      if (!NameMatches(entry.Name, mask)) continue;
      if ((entry.Attr & platform::faVolumeID) != 0) continue;
      if ((entry.Attr & platform::faHidden) != 0 && !Spec.Hidden) continue;
      if ((entry.Attr & platform::faSysFile) != 0 && !Spec.System) continue;
      std::string path = JoinPath(folder, entry.Name);
      if (Own.IsFile(entry.Name, path)) continue;
      if (ExcludedPaths != nullptr && ExcludedPaths->contains(path)) continue;
      if (ExcludedMasks != nullptr && MatchesAny(entry.Name, *ExcludedMasks)) continue;
      if (Taken != nullptr && !Taken->insert(path).second) continue;
      Result.push_back(std::move(path));
      total += entry.Size;
    }
    // An empty folder of a tree taken whole is kept as itself, so that a
    // restore brings it back.
    if (empty && !unreadable && mask == kAllEntries && !ShouldStop(Control)) Result.push_back(JoinPath(folder, ""));
    for (const std::string& sub : subFolders) {
      if (ShouldStop(Control)) break;
      total += Folder(JoinPath(folder, sub), mask);
    }
    return total;
  }
};

}  // namespace

std::int64_t TZkThreadSaveFile::FindFiles(std::vector<std::string>& result,
                                          const std::vector<std::string>* excludedMasks, const std::string& folder,
                                          TZkRunControl& control,
                                          const std::vector<std::string>* excludedPaths,
                                          const TZkOwnOutputs& own, TTaken* taken,
                                          const TZkCollectReport* report) const {
  const TNameSet paths = excludedPaths != nullptr ? TNameSet(excludedPaths->begin(), excludedPaths->end()) : TNameSet{};
  const std::string spec = IsFolder(Name) ? JoinPath(Name, kAllEntries) : Name;
  const TOwnOutputs outputs(own);
  const TWalk walk{*this, excludedMasks, excludedPaths != nullptr ? &paths : nullptr, outputs, control, result,
                   taken, report};
  const std::string top = folder.empty() ? FolderPart(spec) : folder;
  const std::string mask = FileNamePart(spec);
  // An include that is not there (an unplugged disk, an unmounted share)
  // must not look like an include that holds nothing.
  const bool reports = report != nullptr && *report;
  if (reports && !top.empty() && !IsFolder(top)) {
    (*report)(FormatMessage("A mentendő elem nem található (%s)", {Name}));
    return 0;
  }
  const std::size_t before = result.size();
  const std::int64_t total = walk.Folder(top, mask);
  if (reports && result.size() == before && mask.find_first_of("*?") == std::string::npos &&
      !platform::PathExists(JoinPath(top, mask)))
    (*report)(FormatMessage("A mentendő elem nem található (%s)", {Name}));
  return total;
}

std::int64_t TZkThreadSaveTask::CollectFiles(std::vector<std::string>& result, TZkRunControl& control,
                                             const TZkOwnOutputs& own, const TZkCollectReport& report) const {
  // Exclude specifications with a folder leave out exactly the files they
  // would take themselves; bare names and masks apply in every folder.
  std::vector<std::string> excludedPaths;
  std::vector<std::string> excludedMasks;
  for (int i = 0; i < ExtractFiles().Count() && !ShouldStop(control); ++i) {
    const TZkThreadSaveFile& spec = ExtractFiles().Items(i);
    if (!FolderPart(spec.Name).empty())
      spec.FindFiles(excludedPaths, nullptr, {}, control, nullptr);
    else
      excludedMasks.push_back(spec.Name);
  }
  // Overlapping includes ("src" and "src/sub") take each file once.
  TNameSet taken;
  std::int64_t total = 0;
  for (int i = 0; i < AddFiles().Count() && !ShouldStop(control); ++i)
    total += AddFiles().Items(i).FindFiles(result, &excludedMasks, {}, control, &excludedPaths, own, &taken, &report);
  return total;
}

}  // namespace zk
