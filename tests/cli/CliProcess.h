#pragma once
// The built backup-cli as a child process: its standard output and error
// captured in files (or its output on a pseudo-terminal), its exit code,
// and signals sent to it while it runs.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "support/ZkTempDir.h"

extern char** environ;

namespace zk::test {

struct TCliResult {
  int ExitCode = -1;  // 128 + the signal when a signal ended the program
  std::string Out;
  std::string Err;
};

inline constexpr std::chrono::seconds kCliTimeLimit{60};

namespace detail {

inline std::vector<char*> ArgumentVector(std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (std::string& a : arguments) argv.push_back(a.data());
  argv.push_back(nullptr);
  return argv;
}

inline int ExitCodeOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// The child's exit code once it has ended within the limit; otherwise it is
// killed and -1 returned.
inline int WaitWithLimit(pid_t pid, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return ExitCodeOf(status);
    if (done < 0 && errno != EINTR) return -1;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace detail

class TCliProcess {
public:
  // Starts backup-cli with the arguments, in the folder, with nothing on
  // its standard input; with `program`, the arguments name the program
  // first.
  TCliProcess(std::vector<std::string> arguments, const std::string& folder, bool program = false)
      : out_(capture_ / "out.txt"), err_(capture_ / "err.txt") {
    if (!program) arguments.insert(arguments.begin(), ZK_BACKUP_CLI);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    const std::vector<char*> argv = detail::ArgumentVector(arguments);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (pid_ < 0) throw std::runtime_error("cannot start " + std::string(argv[0]));
  }
  ~TCliProcess() {
    if (pid_ > 0) detail::WaitWithLimit(pid_, std::chrono::milliseconds(0));
  }
  TCliProcess(const TCliProcess&) = delete;
  TCliProcess& operator=(const TCliProcess&) = delete;

  void Signal(int signal) const { kill(pid_, signal); }

  // Waits until the standard output holds the text; false when the program
  // ends or the limit passes first.
  bool WaitForOutput(const std::string& text, std::chrono::milliseconds limit) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
      if (TempDir::Read(out_).find(text) != std::string::npos) return true;
      siginfo_t ended{};
      if (waitid(P_PID, static_cast<id_t>(pid_), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 && ended.si_pid == pid_)
        return TempDir::Read(out_).find(text) != std::string::npos;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  // The end of the program; a program still running after the limit is
  // killed and reported with exit code -1.
  TCliResult Finish(std::chrono::milliseconds limit = kCliTimeLimit) {
    TCliResult result;
    result.ExitCode = detail::WaitWithLimit(pid_, limit);
    pid_ = -1;
    result.Out = TempDir::Read(out_);
    result.Err = TempDir::Read(err_);
    return result;
  }

private:
  TempDir capture_;
  std::string out_;
  std::string err_;
  pid_t pid_ = -1;
};

inline TCliResult RunCli(const std::vector<std::string>& arguments, const std::string& folder) {
  return TCliProcess(arguments, folder).Finish();
}

// Any program, its path first among the arguments.
inline TCliResult RunProgram(const std::vector<std::string>& arguments, const std::string& folder) {
  return TCliProcess(arguments, folder, true).Finish();
}

// The program with a pseudo-terminal of `columns` as its standard output
// (and error), as a user at a terminal runs it; the result's Out holds all
// it wrote.
inline TCliResult RunCliOnTerminal(std::vector<std::string> arguments, const std::string& folder,
                                   unsigned short columns = 80) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) throw std::runtime_error("no pseudo-terminal");
  const winsize size{24, columns, 0, 0};
  if (ioctl(master, TIOCSWINSZ, &size) != 0) throw std::runtime_error("cannot size the pseudo-terminal");
  const std::string slave = ptsname(master);
  arguments.insert(arguments.begin(), ZK_BACKUP_CLI);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, slave.c_str(), O_WRONLY | O_NOCTTY, 0);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addclose(&actions, master);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  const std::vector<char*> argv = detail::ArgumentVector(arguments);
  pid_t pid = -1;
  const bool started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  TCliResult result;
  if (!started) {
    close(master);
    throw std::runtime_error(std::string("cannot start ") + ZK_BACKUP_CLI);
  }
  // Read while the program runs, so that a full terminal buffer never
  // holds it up; the master reads EIO once the last writer has closed.
  const auto deadline = std::chrono::steady_clock::now() + kCliTimeLimit;
  char buffer[4096];
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd ready{master, POLLIN, 0};
    if (poll(&ready, 1, 100) <= 0) continue;
    const ssize_t count = read(master, buffer, sizeof buffer);
    if (count > 0) {
      result.Out.append(buffer, static_cast<std::size_t>(count));
    } else if (count == 0 || errno != EINTR) {
      break;
    }
  }
  close(master);
  result.ExitCode = detail::WaitWithLimit(pid, std::chrono::seconds(10));
  return result;
}

}  // namespace zk::test
