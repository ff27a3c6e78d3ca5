#pragma once
// A real rclone WebDAV server on 127.0.0.1 over a folder of the test, and
// the remote "testnas:" pointing at it through rclone's environment
// configuration (no configuration file of the user is read or written).

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/ZkEnvironmentVariable.h"

extern char** environ;

namespace zk::test {

inline bool HaveRclone() { return std::system("rclone version >/dev/null 2>&1") == 0; }

// A folder below `folder` holding an "rclone" that runs the real one with
// its bandwidth limited, to put first in PATH: a few MB then take seconds.
inline std::string SlowRcloneFolder(const std::filesystem::path& folder, const std::string& limit = "1M") {
  std::string real;
  if (FILE* found = popen("command -v rclone", "r")) {
    char line[4096];
    if (std::fgets(line, sizeof line, found) != nullptr) real = line;
    pclose(found);
  }
  while (!real.empty() && real.back() == '\n') real.pop_back();
  const std::filesystem::path bin = folder / "slow-bin";
  std::filesystem::create_directories(bin);
  {
    std::ofstream wrapper(bin / "rclone");
    wrapper << "#!/bin/sh\nexec '" << real << "' --bwlimit " << limit << " \"$@\"\n";
  }
  std::filesystem::permissions(bin / "rclone", std::filesystem::perms::owner_all);
  return bin.string();
}

// A port nothing listens on at the moment.
inline int FreePort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  close(s);
  return ntohs(address.sin_port);
}

inline bool Accepts(int port) {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(s);
  return ok;
}

class TRcloneServer {
public:
  // Serves `folder`; `configFolder` holds rclone's (absent) configuration file.
  TRcloneServer(const std::string& folder, const std::string& configFolder)
      : port_(FreePort()),
        config_("RCLONE_CONFIG", configFolder + "/rclone.conf"),
        type_("RCLONE_CONFIG_TESTNAS_TYPE", "webdav"),
        url_("RCLONE_CONFIG_TESTNAS_URL", "http://127.0.0.1:" + std::to_string(port_)),
        vendor_("RCLONE_CONFIG_TESTNAS_VENDOR", "other") {
    std::filesystem::create_directories(folder);
    const std::string address = "127.0.0.1:" + std::to_string(port_);
    std::vector<std::string> argv = {"rclone", "serve", "webdav", folder, "--addr", address, "-q"};
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    if (posix_spawnp(&pid_, "rclone", nullptr, nullptr, args.data(), environ) != 0) pid_ = -1;
    for (int i = 0; i < 100 && pid_ > 0 && !Accepts(port_); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ~TRcloneServer() { Down(); }
  TRcloneServer(const TRcloneServer&) = delete;
  TRcloneServer& operator=(const TRcloneServer&) = delete;

  bool Up() const { return pid_ > 0 && Accepts(port_); }
  // The server stops; the remote stays configured and now refuses.
  void Down() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }

private:
  int port_;
  pid_t pid_ = -1;
  TEnvironmentVariable config_, type_, url_, vendor_;
};

}  // namespace zk::test
