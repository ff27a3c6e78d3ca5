// import: the job list an older version kept in the INI file becomes the
// job file, once; an existing job file is never replaced.

#include <cstdio>

#include "CliCommands.h"
#include "base/ZkError.h"
#include "engine/ZkLegacyImport.h"
#include "platform/ZkFileSystem.h"

namespace zk::cli {

int ImportCommand(const TZkProgramFiles& files) {
  if (platform::PathExists(files.JobFile)) {
    std::fprintf(stderr, "A(z) %s mentésfájl már létezik, nincs mit átvenni\n", files.JobFile.c_str());
    return kExitUsage;
  }
  if (!platform::PathExists(files.IniFile)) {
    std::fprintf(stderr, "A(z) %s fájl nem létezik, nincs mit átvenni\n", files.IniFile.c_str());
    return kExitUsage;
  }
  try {
    ImportLegacyJobs(files.IniFile, files.JobFile,
                     [](const std::string& message) { std::fprintf(stderr, "%s\n", message.c_str()); });
    TZkThreadSaveTasks imported;
    if (!LoadJobList(files.JobFile, imported)) return kExitErrors;
    std::printf("%d mentés átvéve: %s -> %s\n", imported.Count(), files.IniFile.c_str(),
                files.JobFile.c_str());
    return kExitOk;
  } catch (const EZkError& error) {
    std::fprintf(stderr, "Az átvétel nem sikerült: %s\n", error.what());
    return kExitErrors;
  }
}

}  // namespace zk::cli
