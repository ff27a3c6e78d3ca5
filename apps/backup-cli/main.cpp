// backup-cli: the jobs of the job file without a window.

#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "CliCommands.h"
#include "CliFiles.h"
#include "CliOptions.h"
#include "platform/ZkMemory.h"
#include "util/ZkUtilFile.h"

namespace {

using namespace zk::cli;

int Dispatch(const TCliOptions& options) {
  const zk::TZkProgramFiles files = zk::ResolveProgramFiles(options.JobFile);
  switch (options.Command) {
    case TCommand::cmList:
      return ListCommand(files);
    case TCommand::cmRun:
      return RunCommand(files, options);
    case TCommand::cmServe:
      return ServeCommand(files, options);
    case TCommand::cmImport:
      return ImportCommand(files);
    case TCommand::cmHistory:
      return HistoryCommand(files, options);
    case TCommand::cmVerify:
      return VerifyCommand(files, options);
    case TCommand::cmRestore:
      return RestoreCommand(files, options);
    case TCommand::cmStatus:
      return StatusCommand(files);
    case TCommand::cmNone:
      break;
  }
  std::fputs(UsageText().c_str(), stderr);
  return kExitUsage;
}

}  // namespace

int main(int argc, char* argv[]) {
  // A closed standard output (`| head`) must not end a run half-way: the
  // writes fail instead, and the run goes on to write its archive and
  // history.
  std::signal(SIGPIPE, SIG_IGN);
  zk::platform::ShareOneHeap();
  TCliOptions options;
  try {
    options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const TUsageError& error) {
    std::fprintf(stderr, "%s\n\n%s", error.what(), UsageText().c_str());
    return kExitUsage;
  }
  if (options.Help) {
    std::fputs(UsageText().c_str(), stdout);
    std::printf("\nA mentésfájl most: %s\n", zk::ResolveProgramFiles(options.JobFile).JobFile.c_str());
    return kExitOk;
  }
  if (options.Version) {
    std::printf("backup-cli %s\n", zk::GetFileVersionText("").c_str());
    return kExitOk;
  }
  try {
    return Dispatch(options);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return kExitErrors;
  }
}
