#pragma once
// What one run of a job keeps between its steps, beside the run copy.

#include <string>
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
  // This run began to write the file at the output path, respectively the
  // duplicate path. Only such a file is deleted when the run is stopped: an
  // archive the run merely reopened, or one an earlier run left there, is a
  // backup the user still has.
  bool WroteOutput = false;
  bool WroteDuplicate = false;
};

// Begins the item `path` of a run: its name, no bytes done, and its size,
// read by opening it for reading (others may go on reading and writing it).
// Raises EZkFileOpenError or EZkFileReadError, for example when the file has
// disappeared since it was collected.
void BeginItem(TZkThreadActiveTask& task, const std::string& path);

}  // namespace zk
