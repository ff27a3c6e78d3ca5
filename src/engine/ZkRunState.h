#pragma once
// What one run of a job keeps between its steps, beside the run copy.

#include <string>
#include <unordered_set>
#include <vector>

#include "engine/ZkThreadSave.h"

namespace zk {

struct TZkThreadSave::TRunState {
  std::vector<std::string> History;
  std::vector<std::string> Files;
  // An update run packs or copies only what changed since the base: the
  // archive (zip) or the folder's archive path (copy) of the newest
  // complete full run.
  bool UpdateRun = false;
  std::string BasePath;
  // This run's complete archive reached the output path (zip runs), or its
  // copy tree was written (copy runs); only then is the run "Ok" in the
  // history.
  bool Delivered = false;
  // Where the archive went when not to the output path: beside it, when the
  // run could not read everything and must not replace the previous one.
  std::string DeliveredPath;
  // The archive reached the remote target under its final name there.
  bool Uploaded = false;
  // Error lines for files and folders the run could not read.
  int SourceErrors = 0;
  // The folders of a copy run whose leftovers of killed runs are removed
  // already, so that each is read once.
  std::unordered_set<std::string> CleanedFolders;
};

// An empty folder of the file list: its path ends in the separator.
inline bool IsFolderItem(const std::string& path) { return !path.empty() && path.back() == '/'; }

// Begins the item `path` of a run: its name, no bytes done, and its size,
// read by opening it for reading (others may go on reading and writing it).
// Raises EZkFileOpenError or EZkFileReadError, for example when the file has
// disappeared since it was collected.
void BeginItem(TZkThreadActiveTask& task, const std::string& path);

}  // namespace zk
