#pragma once
// Directory search with Windows wildcards and attribute filters, the same on
// every platform.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/ZkDateTime.h"
#include "platform/ZkFileSystem.h"

namespace zk::platform {

struct SearchRecord {
  std::string Name;  // without the folder
  int Attr = 0;
  std::int64_t Size = 0;
  TDateTime Time = 0;  // last modified, local time
  FileTime Modified;   // the same, as the file system keeps it
};

// An entry passes the filter when it has no hidden, system, volume or
// directory attribute that the filter lacks; read-only, archive and
// symbolic-link bits never keep an entry out.
bool PassesAttributeFilter(int attr, int filter);

// Windows wildcard rules: "*" any run of characters, "?" exactly one
// character (a UTF-8 sequence, or a byte that is not part of one), the
// letters A to Z without regard to case, every other byte exact. A mask
// ending in ".*" also takes a name without that extension, so "*.*" takes
// every name, also one without a dot.
bool MatchesMask(std::string_view name, std::string_view mask);

// The one entry at exactly that path, "?" and "*" taken as the letters
// they are in a Posix name, as a search would report it; false when there
// is none, for a path ending in "/", ".", or "..", and when the entry does
// not pass the attribute filter.
bool FindEntry(const std::string& path, int attributeFilter, SearchRecord& record);

// Searches "folder/mask" (a mask without a folder searches the current
// folder) for the entries that match the mask and pass the attribute filter.
// A last component without "*" or "?" finds that one entry. "." and ".." are
// never returned, nor sockets, FIFOs, device nodes and dangling links; a
// folder that cannot be read gives no entries. Entries come in the order the
// file system lists them.
//
// What the search could not read goes to `report` with the path and the
// error number: the folder (it cannot be opened or listed), or an entry it
// lists whose information cannot be read (a folder with "r" but no "x", a
// name too long for a path). A folder or entry that is simply not there is
// no error; neither is a dangling link or a special file.
class DirSearch {
public:
  using TReport = std::function<void(const std::string& path, int error)>;

  DirSearch(std::string_view pathWithMask, int attributeFilter, TReport report = {});
  ~DirSearch();
  DirSearch(const DirSearch&) = delete;
  DirSearch& operator=(const DirSearch&) = delete;

  // Fills the record with the next entry; false when there are no more.
  bool Next(SearchRecord& record);

private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace zk::platform
