#include "platform/ZkDirSearch.h"
#include "util/ZkUtil.h"

namespace zk {

std::vector<std::string> ListFiles(std::string_view pathWithMask, int attributeFilter) {
  // The filter lets directories through besides files; asking for exactly
  // the directory bit means directories only.
  const bool directoriesOnly = attributeFilter == platform::faDirectory;
  std::vector<std::string> names;
  platform::DirSearch search(pathWithMask, attributeFilter);
  platform::SearchRecord record;
  while (search.Next(record)) {
    if (directoriesOnly && (record.Attr & platform::faDirectory) == 0) continue;
    names.push_back(record.Name);
  }
  return names;
}

}  // namespace zk
