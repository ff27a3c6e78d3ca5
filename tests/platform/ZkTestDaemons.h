#pragma once
// Daemons the system-control tests start for themselves and stop again: a
// private D-Bus daemon with python3-dbusmock mocks on it, and an X server
// without a screen. A test whose tool is missing skips with a message.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/ZkDbus.h"

extern char** environ;

namespace zk::test {

inline bool ToolExists(const std::string& path) {
  return access(path.c_str(), X_OK) == 0;
}

// A child process with one descriptor of its own (reportFd) writing into a
// pipe the test reads; stopped with SIGTERM (then SIGKILL) when it goes. A
// quiet one writes its complaints to /dev/null.
class TChildProcess {
public:
  TChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment,
                int reportFd, bool quiet = false) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    readFd_ = fds[0];
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], reportFd);
    if (quiet) posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) environment.emplace_back(*e);
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<char*> env;
    for (const std::string& e : environment) env.push_back(const_cast<char*>(e.c_str()));
    env.push_back(nullptr);
    if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), env.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
  }
  ~TChildProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status = 0;
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
      while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
          kill(pid_, SIGKILL);
          waitpid(pid_, &status, 0);
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
    if (readFd_ >= 0) close(readFd_);
  }
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }

  // The first line the child writes to its report descriptor; empty when
  // none comes in time.
  std::string ReadLine(int timeoutMs) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd p{readFd_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      char c = 0;
      if (read(readFd_, &c, 1) != 1) break;
      if (c == '\n') return line;
      line += c;
    }
    return {};
  }

private:
  pid_t pid_ = -1;
  int readFd_ = -1;
};

// A D-Bus daemon of the test's own.
class TPrivateBus {
public:
  TPrivateBus() : daemon_({"/usr/bin/dbus-daemon", "--session", "--nofork", "--print-address=3"}, {}, 3, true) {
    if (daemon_.Started()) address_ = daemon_.ReadLine(10000);
  }
  const std::string& Address() const { return address_; }
  bool Ready() const { return !address_.empty(); }
  platform::TZkDbusConnection Connect() const { return platform::TZkDbusConnection::OpenAddress(address_); }

private:
  TChildProcess daemon_;
  std::string address_;
};

// A dbusmock template on the private bus (as if it were the system bus),
// logging the calls it gets into a file.
class TDbusMock {
public:
  TDbusMock(const TPrivateBus& bus, const std::string& busName, const std::string& templateName,
            const std::string& logFile, const std::string& parameters = "{}")
      : logFile_(logFile),
        mock_({"/usr/bin/python3", "-m", "dbusmock", "--template", templateName, "-l", logFile, "-p", parameters},
              {"DBUS_SYSTEM_BUS_ADDRESS=" + bus.Address(), "DBUS_SESSION_BUS_ADDRESS=" + bus.Address()}, 3),
        control_(bus.Connect()) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (mock_.Started() && control_.IsOpen() && std::chrono::steady_clock::now() < deadline) {
      sd_bus_error error{nullptr, nullptr, 0};
      sd_bus_message* reply = nullptr;
      int owned = 0;
      if (sd_bus_call_method(control_.Get(), "org.freedesktop.DBus", "/org/freedesktop/DBus",
                             "org.freedesktop.DBus", "NameHasOwner", &error, &reply, "s", busName.c_str()) >= 0)
        sd_bus_message_read(reply, "b", &owned);
      sd_bus_message_unref(reply);
      sd_bus_error_free(&error);
      if (owned != 0) {
        ready_ = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  bool Ready() const { return ready_; }
  // A connection for the test's own calls to the mock.
  sd_bus* Control() const { return control_.Get(); }

  // The logged method calls, without their time stamps, in order; only the
  // lines that begin with one of the names.
  std::vector<std::string> Calls(const std::vector<std::string>& methods) const {
    std::ifstream in(logFile_);
    std::vector<std::string> calls;
    std::string line;
    while (std::getline(in, line)) {
      const std::string call = line.substr(line.find(' ') + 1);
      for (const std::string& m : methods)
        if (call.compare(0, m.size() + 1, m + " ") == 0 || call == m) calls.push_back(call);
    }
    return calls;
  }

private:
  std::string logFile_;
  TChildProcess mock_;
  platform::TZkDbusConnection control_;
  bool ready_ = false;
};

inline bool HaveDbusMock() {
  return ToolExists("/usr/bin/dbus-daemon") && ToolExists("/usr/bin/python3") &&
         system("/usr/bin/python3 -c 'import dbusmock' 2>/dev/null") == 0;
}

// An X server without a screen, on a display number it picks itself.
class TXvfb {
public:
  TXvfb() : server_({"/usr/bin/Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0", "320x240x24"}, {}, 3, true) {
    if (server_.Started()) {
      const std::string number = server_.ReadLine(15000);
      if (!number.empty()) display_ = ":" + number;
    }
  }
  const std::string& Display() const { return display_; }

private:
  TChildProcess server_;
  std::string display_;
};

}  // namespace zk::test
