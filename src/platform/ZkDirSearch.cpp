#include "platform/ZkDirSearch.h"

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <utility>

#include "base/ZkText.h"

namespace zk::platform {

namespace {

constexpr int kFilteredAttributes = faHidden | faSysFile | faVolumeID | faDirectory;

struct CloseDir {
  void operator()(DIR* dir) const { closedir(dir); }
};

// Missing entries are no error: they vanished, or were never there.
bool IsReadError(int error) { return error != 0 && error != ENOENT && error != ENOTDIR; }

bool HasWildcard(std::string_view mask) { return mask.find_first_of("*?") != std::string_view::npos; }

// Bytes of the character that begins at `at`: a well-formed UTF-8 sequence
// as a whole, any other byte alone.
std::size_t CharLength(std::string_view text, std::size_t at) {
  return std::max<std::size_t>(1, Utf8SequenceLength(text, at));
}

// Plain wildcard matching with one backtracking point: on a mismatch the
// last "*" takes one more character and matching resumes behind it. "?" and
// "*" step over whole characters, so that "?" takes an accented letter and
// "*" never leaves half of one for a "?".
bool MatchesWildcards(std::string_view name, std::string_view mask) {
  constexpr auto kNone = std::string_view::npos;
  std::size_t n = 0;
  std::size_t m = 0;
  std::size_t starMask = kNone;
  std::size_t starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (m < mask.size() && mask[m] == '?') {
      ++m;
      n += CharLength(name, n);
    } else if (m < mask.size() && LowerAscii(mask[m]) == LowerAscii(name[n])) {
      ++m;
      ++n;
    } else if (starMask != kNone) {
      m = starMask + 1;
      starName += CharLength(name, starName);
      n = starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

bool FillRecord(const std::string& name, const std::optional<FileInfo>& info, int attributeFilter,
                SearchRecord& record) {
  if (!info || !PassesAttributeFilter(info->Attr, attributeFilter)) return false;
  record.Name = name;
  record.Attr = info->Attr;
  record.Size = info->Size;
  record.Modified = info->Modified;
  record.Time = ToDateTime(info->Modified);
  return true;
}

}  // namespace

struct DirSearch::State {
  std::string folder;  // up to and including its final "/", or empty
  std::string mask;
  int filter = 0;
  std::unique_ptr<DIR, CloseDir> dir;
  bool singlePending = false;  // the mask names one entry, not yet returned
  DirSearch::TReport report;

  // An entry the open folder lists is looked up relative to it.
  bool Fill(const std::string& name, SearchRecord& record) const {
    errno = 0;
    if (dir ? FillRecord(name, ReadFileInfoAt(dirfd(dir.get()), name), filter, record)
            : FindEntry(folder + name, filter, record))
      return true;
    Report(folder + name, errno);
    return false;
  }
  // The folder as a report names it: without its final "/".
  std::string FolderName() const {
    if (folder.empty()) return ".";
    return folder.size() > 1 && folder.back() == '/' ? folder.substr(0, folder.size() - 1) : folder;
  }
  void Report(const std::string& path, int error) const {
    if (report && IsReadError(error)) report(path, error);
  }
};

bool PassesAttributeFilter(int attr, int filter) { return (attr & kFilteredAttributes & ~filter) == 0; }

bool FindEntry(const std::string& path, int attributeFilter, SearchRecord& record) {
  const auto slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty() || name == "." || name == "..") return false;
  return FillRecord(name, ReadFileInfo(path), attributeFilter, record);
}

bool MatchesMask(std::string_view name, std::string_view mask) {
  if (MatchesWildcards(name, mask)) return true;
  // "name.*" also takes "name", as the Windows search does.
  return mask.ends_with(".*") && MatchesWildcards(name, mask.substr(0, mask.size() - 2));
}

DirSearch::DirSearch(std::string_view pathWithMask, int attributeFilter, TReport report)
    : state_(std::make_unique<State>()) {
  state_->report = std::move(report);
  const auto slash = pathWithMask.rfind('/');
  const auto maskStart = slash == std::string_view::npos ? 0 : slash + 1;
  state_->folder = std::string(pathWithMask.substr(0, maskStart));
  state_->mask = std::string(pathWithMask.substr(maskStart));
  state_->filter = attributeFilter;
  if (!HasWildcard(state_->mask)) {
    state_->singlePending = true;
    return;
  }
  const std::string folder = state_->folder.empty() ? "." : state_->folder;
  state_->dir.reset(opendir(folder.c_str()));
  if (!state_->dir) state_->Report(state_->FolderName(), errno);
}

DirSearch::~DirSearch() = default;

bool DirSearch::Next(SearchRecord& record) {
  if (state_->singlePending) {
    state_->singlePending = false;
    return state_->Fill(state_->mask, record);
  }
  if (!state_->dir) return false;
  // readdir gives null at the end and on a read error alike; only an error
  // sets errno.
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(state_->dir.get());
    if (entry == nullptr) break;
    const std::string_view name = entry->d_name;
    if (name == "." || name == ".." || !MatchesMask(name, state_->mask)) continue;
    if (state_->Fill(std::string(name), record)) return true;
  }
  state_->Report(state_->FolderName(), errno);
  state_->dir.reset();
  return false;
}

}  // namespace zk::platform
