#pragma once
// The one-time import of the job list an older version kept in its INI
// file: every section is a job.

#include <string>

#include "store/zkIniFile.h"

namespace zk {

// Reads the jobs of `iniPath` and writes them as the job file `jobFilePath`.
// A file that is not UTF-8 is read as Windows-1250. `report` hears of an
// INI file that does not exist; a job file that cannot be written fails
// with the file error, leaving any previous content.
void ImportLegacyJobs(const std::string& iniPath, const std::string& jobFilePath, TZkIniFile::TReport report);

}  // namespace zk
