// Reads arbitrary bytes as an archive, verifies it and restores all of it
// into a target folder that holds a symbolic link to a folder beside it.
// Errors are expected; crashes, leaks and sanitizer reports are not, nor any
// file outside the target (through the link or by name), nor a temporary
// file left behind in it.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/ZkError.h"
#include "engine/ZkRestore.h"
#include "platform/ZkAtomicFile.h"
#include "zip/ZkZipRead.h"

namespace {

namespace fs = std::filesystem;

const fs::path& Sandbox() {
  static const fs::path path = [] {
    const fs::path shm = "/dev/shm";
    const fs::path base = fs::is_directory(shm) ? shm : fs::temp_directory_path();
    return base / ("zk-restore-fuzz-" + std::to_string(getpid()));
  }();
  return path;
}

// The part of the temporary names of this process that names it.
const std::string& Writer() {
  static const std::string writer = "~" + std::to_string(getpid()) + ".";
  return writer;
}

// Everything in the sandbox, without following links.
std::vector<fs::path> Walk() {
  std::vector<fs::path> found;
  for (auto it = fs::recursive_directory_iterator(Sandbox()); it != fs::recursive_directory_iterator(); ++it)
    found.push_back(it->path());
  return found;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path target = Sandbox() / "target";
  const fs::path outside = Sandbox() / "outside";
  const fs::path archive = Sandbox() / "archive.zip";
  fs::remove_all(Sandbox());
  fs::create_directories(target);
  fs::create_directories(outside);
  fs::create_directory_symlink(outside, target / "link");
  {
    std::ofstream out(archive, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }

  try {
    zk::VerifyArchiveEntries(archive.string());
    zk::TZkRestore restore({archive.string()});
    restore.TargetFolder = target.string();
    restore.Overwrite = zk::TZkOverwrite::owAlways;
    restore.OnError = [](const std::string&) {};
    std::vector<std::size_t> all;
    for (std::size_t i = 0; i < restore.Items().size(); ++i) all.push_back(i);
    restore.Run(all);
  } catch (const zk::EZkError&) {
  }

  for (const fs::path& path : Walk()) {
    if (path == archive || path == target || path == outside || path == target / "link") continue;
    // Only below the target (the walk does not follow the link, so what
    // went through it shows up in "outside"), and no temporary file of this
    // process (an entry may well be named like one of another).
    const std::string relative = path.lexically_relative(target).string();
    const std::string name = path.filename().string();
    const bool temporary = zk::platform::IsAtomicTemporaryName(name) && name.find(Writer()) != std::string::npos;
    if (relative == ".." || relative.starts_with("../") || temporary) __builtin_trap();
  }
  return 0;
}
