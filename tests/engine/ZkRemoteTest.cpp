// Runs whose archives go to a real rclone WebDAV server on 127.0.0.1.

#include <fstream>
#include <iterator>
#include <random>
#include <thread>

#include "engine/ZkRemote.h"
#include "engine/ZkRestore.h"
#include "support/ZkRcloneServer.h"
#include "ZkPipelineFixture.h"

namespace zk::test {
namespace {

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool AnyLineStartsWith(const Lines& lines, const std::string& prefix) {
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(prefix); });
}

struct Remote : Pipeline {
  void SetUp() override {
    if (!HaveRclone()) GTEST_SKIP() << "rclone is not installed";
    server = std::make_unique<TRcloneServer>(dir / "nas", dir.Path().string());
    ASSERT_TRUE(server->Up());
    Output().RemoteTarget = "testnas:mentes";
    Output().CreateLogFile = true;
  }
  std::string OnNas(const std::string& name) { return dir / ("nas/mentes/" + name); }
  std::unique_ptr<TRcloneServer> server;
};

TEST_F(Remote, RunPutsTheArchiveThereAndTheNextReplacesIt) {
  RunEngine();
  EXPECT_TRUE(errors.empty()) << errors.front();
  EXPECT_EQ(Bytes(OnNas("Docs.Zip")), Bytes(Out("Docs.Zip")));
  EXPECT_TRUE(fs::exists(OnNas("Docs.Log")));
  EXPECT_TRUE(AnyLineStartsWith(log, "- Remote Upload End -testnas:mentes/Docs.Zip"));
  EXPECT_EQ(TZkRunRecords::ReadLastUpload(dir / "Backup.Ini", "Docs"), "2024.01.05;09:07;testnas:mentes/Docs.Zip");

  const std::string first = Bytes(OnNas("Docs.Zip"));
  dir.Write("src/a.txt", "alpha, longer now");
  Clear();
  RunEngine();
  EXPECT_NE(Bytes(OnNas("Docs.Zip")), first);
  EXPECT_EQ(Bytes(OnNas("Docs.Zip")), Bytes(Out("Docs.Zip")));
  EXPECT_EQ(NamesIn(dir / "nas/mentes"), (Lines{"Docs.Log", "Docs.Zip"}));
}

// rclone killed, or the run stopped, in the middle of an upload slowed down
// by a wrapper: the remote keeps the previous archive, the next run removes
// what the broken upload left.
TEST_F(Remote, BrokenUploadLeavesThePreviousArchive) {
  RunEngine();
  const std::string previous = Bytes(OnNas("Docs.Zip"));
  ASSERT_FALSE(previous.empty());
  std::string noise(1 << 20, '\0');
  std::mt19937 random(7);
  for (char& c : noise) c = static_cast<char>(random());
  dir.Write("src/noise.bin", noise);
  const std::string pidFile = dir / "rclone.pid";
  const std::string wrapper = dir.Write("slow-rclone", "#!/bin/sh\necho $$ > " + pidFile +
                                                           "\nexec rclone --bwlimit 200k \"$@\"\n");
  fs::permissions(wrapper, fs::perms::owner_all);
  const auto slow = platform::MakeRcloneStore(wrapper);
  for (const bool kill : {true, false}) {
    Clear();
    RunEngine({"Docs"}, 1, [&](TZkThreadSave& engine) {
      engine.SetRemoteStore(*slow);
      onEvent = [&, kill](const std::string& name, TZkThreadSave& sender, TZkThreadActiveTask&) {
        if (name != "BeforeCopy") return;
        // The upload is under way once its temporary file is on the server.
        std::thread([&, kill] {
          for (int i = 0; i < 200 && NamesIn(dir / "nas/mentes").size() < 3; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
          if (kill)
            std::system(("kill -9 $(cat " + pidFile + ")").c_str());
          else
            sender.Stop();
        }).detach();
      };
    });
    onEvent = nullptr;
    EXPECT_EQ(Bytes(OnNas("Docs.Zip")), previous) << kill;
    EXPECT_TRUE(fs::exists(Out("Docs.Zip")));
    EXPECT_TRUE(AnyLineStartsWith(errors, kill ? "Feltöltési hiba (testnas:mentes/Docs.Zip)"
                                               : "A feltöltés megszakadt")) << kill;
  }
  Clear();
  RunEngine();
  EXPECT_TRUE(errors.empty()) << errors.front();
  EXPECT_EQ(Bytes(OnNas("Docs.Zip")), Bytes(Out("Docs.Zip")));
  EXPECT_EQ(NamesIn(dir / "nas/mentes"), (Lines{"Docs.Log", "Docs.Zip"}));
}

// An upload slowed to a few seconds reports its bytes as it goes, on the
// copy events, up to the whole archive.
TEST_F(Remote, AnUploadReportsItsProgressOnTheCopyEvents) {
  std::string noise(3 << 20, '\0');
  std::mt19937 random(5);
  for (char& c : noise) c = static_cast<char>(random());
  dir.Write("src/noise.bin", noise);
  const auto slow = platform::MakeRcloneStore(SlowRcloneFolder(dir.Path()) + "/rclone");
  std::vector<std::int64_t> positions;
  std::int64_t size = 0;
  std::string target;
  onEvent = [&](const std::string& name, TZkThreadSave&, TZkThreadActiveTask& task) {
    if (name == "BeforeCopy") {
      target = task.TargetPath;
      size = task.ItemSize;
    }
    if (name == "ActionCopy") positions.push_back(task.ItemPosition);
  };
  RunEngine({"Docs"}, 1, [&](TZkThreadSave& engine) { engine.SetRemoteStore(*slow); });
  onEvent = nullptr;
  EXPECT_TRUE(errors.empty()) << errors.front();
  EXPECT_EQ(target, "testnas:mentes/Docs.Zip");
  EXPECT_EQ(size, static_cast<std::int64_t>(fs::file_size(Out("Docs.Zip"))));
  ASSERT_GE(positions.size(), 3u);
  EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
  EXPECT_GT(positions.front(), 0);
  EXPECT_LT(positions.front(), size);
  EXPECT_EQ(positions.back(), size);
  const auto partway = std::count_if(positions.begin(), positions.end(), [&](std::int64_t p) { return p < size; });
  EXPECT_GE(partway, 2);
}

TEST_F(Remote, NoUploadIsAnErrorLineAndTheLocalArchiveStays) {
  const struct {
    const char* what;
    const char* error;
  } cases[] = {{"server down", "Feltöltési hiba (testnas:mentes/Docs.Zip)"},
               {"rclone missing", "Az rclone nincs telepítve"}};
  const auto missing = platform::MakeRcloneStore(dir / "no-such-rclone");
  for (const auto& c : cases) {
    Clear();
    const bool down = std::string(c.what) == "server down";
    if (down) server->Down();
    RunEngine({"Docs"}, 1, [&](TZkThreadSave& engine) {
      if (!down) engine.SetRemoteStore(*missing);
    });
    EXPECT_TRUE(AnyLineStartsWith(errors, c.error)) << c.what;
    EXPECT_TRUE(fs::exists(Out("Docs.Zip"))) << c.what;
    EXPECT_TRUE(History().back().starts_with("Ok;")) << c.what;
  }
}

TEST_F(Remote, RetentionKeepsKeepCountArchivesOnTheRemoteAndRestoreFetchesOne) {
  Output().FileNameTime = true;
  Output().KeepCount = 2;
  for (int minute : {1, 2, 3}) {
    clock.Set(2024, 1, 5, 9, minute, 0);
    RunEngine();
  }
  Lines zips;
  for (const std::string& name : NamesIn(dir / "nas/mentes"))
    if (name.ends_with(".Zip")) zips.push_back(name);
  EXPECT_EQ(zips.size(), 2u);
  EXPECT_TRUE(AnyLineStartsWith(log, "- Remote Prune -testnas:mentes/"));

  const std::vector<TZkRunRecord> runs = RunsOfHistory(History());
  fs::remove(runs.front().Path);
  TZkFetchedArchives fetched;
  const auto archives = fetched.ArchivesOf(runs.front(), Output(), platform::RcloneStore(), dir / "work");
  ASSERT_EQ(archives.size(), 1u);
  TZkRestore restore(archives);
  restore.TargetFolder = dir / "back";
  std::vector<std::size_t> all(restore.Items().size());
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
  EXPECT_EQ(restore.Run(all).Failed, 0);
  EXPECT_EQ(Bytes(dir / ("back/" + EntryOf(a))), "alpha");
  EXPECT_EQ(Bytes(dir / ("back/" + EntryOf(b))), "beta");
}

}  // namespace
}  // namespace zk::test
