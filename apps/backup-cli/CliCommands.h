#pragma once
// The commands of backup-cli. Each returns the program's exit code.

#include "CliFiles.h"
#include "CliOptions.h"

namespace zk::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitErrors = 1;  // error lines were written, or the work failed
inline constexpr int kExitUsage = 2;   // bad command line, unknown or disabled job, unreadable job file
inline constexpr int kExitAttention = 3;  // status: a job is overdue, or its last run stopped or failed

int ListCommand(const TZkProgramFiles& files);
int RunCommand(const TZkProgramFiles& files, const TCliOptions& options);
int ServeCommand(const TZkProgramFiles& files, const TCliOptions& options);
int ImportCommand(const TZkProgramFiles& files);
int HistoryCommand(const TZkProgramFiles& files, const TCliOptions& options);
int VerifyCommand(const TZkProgramFiles& files, const TCliOptions& options);
int RestoreCommand(const TZkProgramFiles& files, const TCliOptions& options);
int StatusCommand(const TZkProgramFiles& files);

}  // namespace zk::cli
