#include "CliFiles.h"

#include <cstdio>

#include "base/ZkError.h"
#include "engine/ZkThreadSave.h"

namespace zk::cli {

bool LoadJobList(const std::string& path, TZkThreadSaveTasks& jobs) {
  try {
    ReadJobFile(path, jobs);
    return true;
  } catch (const EZkError& error) {
    std::fprintf(stderr, "A mentésfájl nem tölthető be: %s\n", error.what());
    return false;
  }
}

bool PrepareFirstJobFile(const TZkProgramFiles& files) {
  try {
    if (CreateFirstJobFile(files)) std::fprintf(stderr, "Új, üres mentésfájl: %s\n", files.JobFile.c_str());
    return true;
  } catch (const EZkError& error) {
    std::fprintf(stderr, "A mentésfájl nem hozható létre: %s\n", error.what());
    return false;
  }
}

}  // namespace zk::cli
