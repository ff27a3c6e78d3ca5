#include "platform/ZkDirSearch.h"

#include <dirent.h>

#include "util/ZkUtil.h"

namespace zk::platform {

namespace {

constexpr int kFilteredAttributes = faHidden | faSysFile | faVolumeID | faDirectory;

struct CloseDir {
  void operator()(DIR* dir) const { closedir(dir); }
};

bool HasWildcard(std::string_view mask) { return mask.find_first_of("*?") != std::string_view::npos; }

// Plain wildcard matching with one backtracking point: on a mismatch the
// last "*" takes one more byte and matching resumes behind it.
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
    } else if (m < mask.size() && (mask[m] == '?' || LowerAscii(mask[m]) == LowerAscii(name[n]))) {
      ++m;
      ++n;
    } else if (starMask != kNone) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

}  // namespace

struct DirSearch::State {
  std::string folder;  // up to and including its final "/", or empty
  std::string mask;
  int filter = 0;
  std::unique_ptr<DIR, CloseDir> dir;
  bool singlePending = false;  // the mask names one entry, not yet returned

  bool Fill(const std::string& name, SearchRecord& record) const {
    const auto info = ReadFileInfo(folder + name);
    if (!info || !PassesAttributeFilter(info->Attr, filter)) return false;
    record.Name = name;
    record.Attr = info->Attr;
    record.Size = info->Size;
    record.Modified = info->Modified;
    record.Time = ToDateTime(info->Modified);
    return true;
  }
};

bool PassesAttributeFilter(int attr, int filter) { return (attr & kFilteredAttributes & ~filter) == 0; }

bool MatchesMask(std::string_view name, std::string_view mask) {
  if (MatchesWildcards(name, mask)) return true;
  // "name.*" also takes "name", as the Windows search does.
  return mask.ends_with(".*") && MatchesWildcards(name, mask.substr(0, mask.size() - 2));
}

DirSearch::DirSearch(std::string_view pathWithMask, int attributeFilter) : state_(std::make_unique<State>()) {
  const auto slash = pathWithMask.rfind('/');
  const auto maskStart = slash == std::string_view::npos ? 0 : slash + 1;
  state_->folder = std::string(pathWithMask.substr(0, maskStart));
  state_->mask = std::string(pathWithMask.substr(maskStart));
  state_->filter = attributeFilter;
  if (!HasWildcard(state_->mask)) {
    state_->singlePending = !state_->mask.empty() && state_->mask != "." && state_->mask != "..";
    return;
  }
  state_->dir.reset(opendir(state_->folder.empty() ? "." : state_->folder.c_str()));
}

DirSearch::~DirSearch() = default;

bool DirSearch::Next(SearchRecord& record) {
  if (state_->singlePending) {
    state_->singlePending = false;
    return state_->Fill(state_->mask, record);
  }
  if (!state_->dir) return false;
  // readdir gives null at the end and on a read error alike; both end the search.
  while (const dirent* entry = readdir(state_->dir.get())) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == ".." || !MatchesMask(name, state_->mask)) continue;
    if (state_->Fill(std::string(name), record)) return true;
  }
  state_->dir.reset();
  return false;
}

}  // namespace zk::platform
