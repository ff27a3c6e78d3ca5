// Remote copies against a real rclone WebDAV server on 127.0.0.1 over a
// temporary folder, the remote given through rclone's environment so that no
// configuration of the user's is read or written.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/ZkPipelineFixture.h"
#include "engine/ZkRemote.h"
#include "engine/ZkRestore.h"
#include "engine/ZkRunHistory.h"
#include "engine/ZkRunRecords.h"
#include "support/ZkEnvironmentVariable.h"
#include "zip/ZkZipTestSupport.h"

extern char** environ;

namespace zk::test {
namespace {

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// A port nobody listens on now.
int FreePort() {
  const int sock = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (bind(sock, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      getsockname(sock, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    close(sock);
    return 0;
  }
  close(sock);
  return ntohs(address.sin_port);
}

bool Accepts(int port) {
  const int sock = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  const bool ok = connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(sock);
  return ok;
}

struct RemotePipeline : Pipeline {
  void SetUp() override {
    if (!HasTool("rclone")) GTEST_SKIP() << "rclone is not installed";
    std::filesystem::create_directories(served);
    port = FreePort();
    ASSERT_NE(port, 0);
    url.Set(("http://127.0.0.1:" + std::to_string(port)).c_str());
    StartServer();
    Output().RemoteTarget = "zktest:mentes";
  }
  void TearDown() override { StopServer(); }

  void StartServer() {
    const std::string addr = "127.0.0.1:" + std::to_string(port);
    std::vector<std::string> words = {"rclone", "serve", "webdav", "--addr", addr, served};
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    // The server's notices would only clutter the test's output.
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const int spawned = posix_spawnp(&server, "rclone", &quiet, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&quiet);
    ASSERT_EQ(spawned, 0);
    for (int i = 0; i < 200 && !Accepts(port); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(Accepts(port)) << "the WebDAV server did not start";
  }
  void StopServer() {
    if (server <= 0) return;
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    server = 0;
  }

  std::string Served(const std::string& name) { return served + "/" + name; }

  // Without them rclone waits through its retries against a server that is down.
  TEnvironmentVariable retries{"RCLONE_RETRIES", "1"};
  TEnvironmentVariable lowLevel{"RCLONE_LOW_LEVEL_RETRIES", "1"};
  TEnvironmentVariable type{"RCLONE_CONFIG_ZKTEST_TYPE", "webdav"};
  TEnvironmentVariable url{"RCLONE_CONFIG_ZKTEST_URL"};
  TEnvironmentVariable config{"RCLONE_CONFIG", dir / "rclone.conf"};
  std::string served = dir / "served";
  int port = 0;
  pid_t server = 0;
};

TEST_F(RemotePipeline, ARunPutsTheArchiveThereAndTheNextReplacesIt) {
  const std::string remote = Served("mentes/Docs.Zip");
  RunEngine();
  ASSERT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
  EXPECT_EQ(Bytes(remote), Bytes(Out("Docs.Zip")));
  EXPECT_NE(std::find(log.begin(), log.end(), "- Remote Upload End -zktest:mentes/Docs.Zip"), log.end())
      << ::testing::PrintToString(log);
  const std::string first = Bytes(remote);

  Clear();
  dir.Write("src/a.txt", "alpha, and a longer text now");
  Touch(a, 2);
  clock.Set(2024, 1, 6, 9, 0, 0);
  RunEngine();
  ASSERT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
  EXPECT_NE(Bytes(remote), first);
  EXPECT_EQ(Bytes(remote), Bytes(Out("Docs.Zip")));
  ExpectReadersTestOk(remote, 6);
  // Only the final names: the upload's temporary name went with its move.
  for (const std::string& name : NamesIn(Served("mentes")))
    EXPECT_TRUE(name == "Docs.Zip" || name == "Docs.Log" || name == "Docs.Err") << name;
  EXPECT_NE(TZkRunRecords::ReadLastUpload(dir / "Backup.Ini", "Docs").find("zktest:mentes/Docs.Zip"),
            std::string::npos);
}

TEST_F(RemotePipeline, TheServerDownIsAnErrorLineAndTheLocalArchiveStays) {
  StopServer();
  RunEngine();
  ASSERT_EQ(errors.size(), 1u) << ::testing::PrintToString(errors);
  EXPECT_TRUE(errors[0].starts_with("Feltöltési hiba (zktest:mentes/Docs.Zip): ")) << errors[0];
  ExpectReadersTestOk(Out("Docs.Zip"), 6);
  EXPECT_EQ(TZkRunRecords::ReadLastUpload(dir / "Backup.Ini", "Docs"), "");
  EXPECT_EQ(std::find(log.begin(), log.end(), "- Remote Upload End -zktest:mentes/Docs.Zip"), log.end());
}

TEST_F(RemotePipeline, KeepCountPrunesTheRemoteCopies) {
  Output().FileNameDate = true;
  Output().KeepCount = 2;
  for (int day = 1; day <= 3; ++day) {
    clock.Set(2024, 1, day, 9, 0, 0);
    RunEngine();
    ASSERT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
  }
  Lines zips;
  for (const std::string& name : NamesIn(Served("mentes")))
    if (name.ends_with(".Zip")) zips.push_back(name);
  EXPECT_EQ(zips, NamesIn(Out("")));
  EXPECT_EQ(zips, (Lines{"Docs 2024.01.02.Zip", "Docs 2024.01.03.Zip"}));
  EXPECT_NE(std::find(log.begin(), log.end(), "- Remote Prune -zktest:mentes/Docs 2024.01.01.Zip"), log.end())
      << ::testing::PrintToString(log);
}

TEST_F(RemotePipeline, ARestoreFetchesAnArchiveGoneHere) {
  RunEngine();
  ASSERT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
  std::filesystem::remove(Out("Docs.Zip"));
  const std::optional<TZkRunRecord> run = ChooseRun(RunsOfHistory(History()), std::nullopt);
  ASSERT_TRUE(run);

  std::filesystem::create_directories(dir / "work");
  TZkFetchedArchives fetched;
  Lines reported;
  const std::vector<std::string> archives = fetched.ArchivesOf(
      *run, Output(), platform::RcloneStore(), dir / "work", [&reported](const std::string& line) { reported.push_back(line); });
  ASSERT_EQ(archives.size(), 1u);
  EXPECT_EQ(Bytes(archives[0]), Bytes(Served("mentes/Docs.Zip")));

  TZkRestore restore(archives);
  restore.TargetFolder = dir / "back";
  Lines failures;
  restore.OnError = [&failures](const std::string& text) { failures.push_back(text); };
  std::vector<std::size_t> all;
  for (std::size_t i = 0; i < restore.Items().size(); ++i) all.push_back(i);
  restore.Run(all);
  EXPECT_TRUE(failures.empty()) << ::testing::PrintToString(failures);
  EXPECT_EQ(Bytes(dir / ("back/" + EntryOf(a))), "alpha");
  EXPECT_EQ(Bytes(dir / ("back/" + EntryOf(b))), "beta");
}

}  // namespace
}  // namespace zk::test
