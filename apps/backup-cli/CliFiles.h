#pragma once
// Reading the job file for the commands that need no engine.

#include <optional>
#include <string>

#include "engine/ZkJob.h"
#include "engine/ZkProgramFiles.h"

namespace zk::cli {

// Reads the jobs of the job file into the list and gives every schedule
// entry its next due moment, as the engine's load does. On failure says why
// on the standard error and returns false; the file is left as it is. No
// engine is made for this: destroying one that never ran makes a pass of
// its loop, which would run a due job.
bool LoadJobList(const std::string& path, TZkThreadSaveTasks& jobs);

// The commands that write make the job file on the first start, as the
// window program does, and say so on the standard error. False, with the
// reason said, when it cannot be written.
bool PrepareFirstJobFile(const TZkProgramFiles& files);

}  // namespace zk::cli
