#include "platform/ZkRemoteStore.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string_view>
#include <thread>

extern char** environ;

namespace zk::platform {
namespace {

// How often a running rclone is asked whether it should stop.
constexpr int kPollMs = 50;
// How long a stopped rclone has to end after SIGTERM before SIGKILL.
constexpr auto kTermGrace = std::chrono::seconds(2);
// rclone's exit code for a folder or file that is not there.
constexpr int kNotFound = 3;

class TPipe {
public:
  TPipe() {
    if (pipe2(ends_, O_CLOEXEC) != 0) ends_[0] = ends_[1] = -1;
  }
  ~TPipe() {
    CloseRead();
    CloseWrite();
  }
  TPipe(const TPipe&) = delete;
  TPipe& operator=(const TPipe&) = delete;
  bool Valid() const { return ends_[0] >= 0; }
  int Read() const { return ends_[0]; }
  int Write() const { return ends_[1]; }
  void CloseRead() { CloseEnd(0); }
  void CloseWrite() { CloseEnd(1); }

private:
  void CloseEnd(int i) {
    if (ends_[i] >= 0) close(ends_[i]);
    ends_[i] = -1;
  }
  int ends_[2];
};

struct TChildRun {
  bool Started = false;
  bool Stopped = false;
  int ExitCode = -1;
  std::string Out;
  std::string LastError;
};

// `"key":`, built piece by piece (g++ 12 warns falsely about overlapping
// copies in the chained operator+ of an optimised build).
std::string MemberPattern(std::string_view key) {
  std::string pattern(1, '"');
  pattern += key;
  pattern += "\":";
  return pattern;
}

// The value of a JSON string member of one log line, unescaped enough for a
// message; empty when the line has none.
std::string JsonString(std::string_view line, std::string_view key) {
  const std::string pattern = MemberPattern(key) + '"';
  const std::size_t at = line.find(pattern);
  if (at == std::string_view::npos) return {};
  std::string value;
  for (std::size_t i = at + pattern.size(); i < line.size() && line[i] != '"'; ++i) {
    if (line[i] == '\\' && i + 1 < line.size()) {
      ++i;
      value += line[i] == 'n' ? ' ' : line[i];
    } else {
      value += line[i];
    }
  }
  return value;
}

std::int64_t JsonNumber(std::string_view line, std::string_view key) {
  const std::string pattern = MemberPattern(key);
  const std::size_t at = line.find(pattern);
  if (at == std::string_view::npos) return -1;
  return std::strtoll(std::string(line.substr(at + pattern.size(), 20)).c_str(), nullptr, 10);
}

// One line of rclone's log (JSON, or its closing plain "Failed to ..." line).
void TakeLogLine(const std::string& line, TChildRun& run, const TZkRemoteStore::TProgress& progress) {
  if (line.empty()) return;
  if (line.front() != '{') {
    // rclone's closing line: "yyyy/mm/dd hh:mm:ss Failed to ...".
    constexpr std::size_t kStamp = 20;
    run.LastError = line.size() > kStamp && line[4] == '/' && line[13] == ':' ? line.substr(kStamp) : line;
    return;
  }
  if (line.find("\"level\":\"error\"") != std::string::npos) run.LastError = JsonString(line, "msg");
  const std::size_t stats = line.find("\"stats\":{");
  if (stats != std::string::npos && progress) {
    const std::string_view body = std::string_view(line).substr(stats);
    progress(JsonNumber(body, "bytes"), JsonNumber(body, "totalBytes"));
  }
}

void EndChild(pid_t pid, TChildRun& run) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

// SIGTERM, and SIGKILL when it has not ended after the grace time; the
// child is left for EndChild to reap.
void Terminate(pid_t pid) {
  kill(pid, SIGTERM);
  const auto until = std::chrono::steady_clock::now() + kTermGrace;
  while (std::chrono::steady_clock::now() < until) {
    siginfo_t info{};
    if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
  }
  kill(pid, SIGKILL);
}

// Runs the program with its standard output and error read into `run`,
// line by line for the error stream, until it ends or `stop` says so.
TChildRun RunChild(const std::vector<std::string>& argv, const TZkRemoteStore::TStop& stop,
                   const TZkRemoteStore::TProgress& progress) {
  TChildRun run;
  TPipe out;
  TPipe err;
  if (!out.Valid() || !err.Valid()) return run;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out.Write(), 1);
  posix_spawn_file_actions_adddup2(&actions, err.Write(), 2);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  sigset_t all;
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return run;
  run.Started = true;
  out.CloseWrite();
  err.CloseWrite();

  std::string errLine;
  bool outOpen = true;
  bool errOpen = true;
  bool killed = false;
  char buffer[8192];
  while (outOpen || errOpen) {
    pollfd fds[2] = {{outOpen ? out.Read() : -1, POLLIN, 0}, {errOpen ? err.Read() : -1, POLLIN, 0}};
    const int ready = poll(fds, 2, kPollMs);
    if (ready < 0 && errno != EINTR) break;
    if (!killed && stop && stop()) {
      run.Stopped = true;
      killed = true;
      Terminate(pid);
    }
    for (int i = 0; i < 2; ++i) {
      if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n <= 0) {
        (i == 0 ? outOpen : errOpen) = false;
        continue;
      }
      if (i == 0) {
        run.Out.append(buffer, static_cast<std::size_t>(n));
        continue;
      }
      for (ssize_t k = 0; k < n; ++k) {
        if (buffer[k] != '\n') {
          errLine += buffer[k];
          continue;
        }
        TakeLogLine(errLine, run, progress);
        errLine.clear();
      }
    }
  }
  TakeLogLine(errLine, run, progress);
  EndChild(pid, run);
  return run;
}

TZkRemoteOutcome OutcomeOf(const TChildRun& run, bool notFoundIsOk = false) {
  TZkRemoteOutcome outcome;
  if (!run.Started) {
    outcome.Result = TZkRemoteResult::rrMissing;
  } else if (run.Stopped) {
    outcome.Result = TZkRemoteResult::rrStopped;
  } else if (run.ExitCode != 0 && !(notFoundIsOk && run.ExitCode == kNotFound)) {
    outcome.Result = TZkRemoteResult::rrFailed;
    outcome.Message = run.LastError.empty() ? "rclone: " + std::to_string(run.ExitCode) : run.LastError;
  }
  return outcome;
}

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

class TRcloneStore final : public TZkRemoteStore {
public:
  explicit TRcloneStore(std::string program) : program_(std::move(program)) {}

  TZkRemoteOutcome CopyTo(const std::string& local, const std::string& remote, const TStop& stop,
                          const TProgress& progress) override {
    return OutcomeOf(RunChild(CopyCommand(local, remote), stop, progress));
  }

  TZkRemoteOutcome MoveTo(const std::string& from, const std::string& to) override {
    return OutcomeOf(RunChild(Command({"moveto", "--ignore-times", "--", from, to}), {}, {}));
  }

  TZkRemoteOutcome Fetch(const std::string& remote, const std::string& local, const TStop& stop,
                         const TProgress& progress) override {
    return OutcomeOf(RunChild(CopyCommand(remote, local), stop, progress));
  }

  TZkRemoteOutcome DeleteFile(const std::string& remote) override {
    return OutcomeOf(RunChild(Command({"deletefile", "--", remote}), {}, {}));
  }

  TZkRemoteOutcome ListFiles(const std::string& folder, std::vector<std::string>& names,
                             const TStop& stop) override {
    const TChildRun run = RunChild(Command({"lsf", "--files-only", "--", folder}), stop, {});
    names = LinesOf(run.Out);
    return OutcomeOf(run, true);
  }

  TZkRemoteOutcome ListRemotes(std::vector<std::string>& names, const TStop& stop) override {
    const TChildRun run = RunChild(Command({"listremotes"}), stop, {});
    names = LinesOf(run.Out);
    return OutcomeOf(run);
  }

private:
  // One file copied, with rclone's statistics once a second. --ignore-times:
  // a file of the same size and time at the other end is no reason to skip
  // the transfer (--checksum would fall back to size alone on a store
  // without hashes).
  std::vector<std::string> CopyCommand(const std::string& from, const std::string& to) const {
    return Command({"copyto", "--ignore-times", "--stats", "1s", "--stats-log-level", "NOTICE", "--", from, to});
  }

  std::vector<std::string> Command(std::vector<std::string> words) const {
    std::vector<std::string> argv = {program_, "--use-json-log"};
    argv.insert(argv.end(), std::make_move_iterator(words.begin()), std::make_move_iterator(words.end()));
    return argv;
  }

  std::string program_;
};

}  // namespace

TZkRemoteStore& RcloneStore() {
  static TRcloneStore store("rclone");
  return store;
}

std::unique_ptr<TZkRemoteStore> MakeRcloneStore(const std::string& program) {
  return std::make_unique<TRcloneStore>(program);
}

std::string RemoteJoin(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == ':' || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

}  // namespace zk::platform
