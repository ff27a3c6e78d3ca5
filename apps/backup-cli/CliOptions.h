#pragma once
// The command line of backup-cli: one command, its job names, and the
// options, which may stand anywhere before a "--" (after it every argument
// is a job name).

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace zk::cli {

enum class TCommand { cmNone, cmList, cmRun, cmServe, cmImport, cmHistory, cmVerify, cmRestore, cmStatus };

struct TCliOptions {
  TCommand Command = TCommand::cmNone;
  std::vector<std::string> JobNames;   // of run, in the order given; the one job of history, verify, restore
  std::vector<std::string> Paths;      // of restore: only files at or below these original paths
  std::optional<int> RunNumber;        // --run N: as history numbers them, 1 the newest
  std::optional<std::string> Archive;  // --archive FILE instead of a job's run
  std::optional<std::string> Target;   // --to FOLDER
  std::string Overwrite = "never";     // --overwrite never|newer|always
  std::optional<std::string> JobFile;  // --jobs; none: the program folder's
  bool Throttle = true;                // --no-throttle clears it
  bool CatchUp = true;                 // serve: --no-catch-up clears it
  bool NotifySuccess = false;          // serve: --notify-success, a notice after a good run too
  std::optional<int> Threads;          // run, serve: --threads N compress on N threads; none: one per core
  bool Help = false;
  bool Version = false;
};

// A command line that cannot be carried out; the text says why.
class TUsageError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// The arguments after the program name. --help and --version need no
// command; everything else does.
TCliOptions ParseOptions(const std::vector<std::string>& arguments);

// The usage text, ending in a line feed.
std::string UsageText();

}  // namespace zk::cli
