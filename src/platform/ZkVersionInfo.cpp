#include "platform/ZkVersionInfo.h"

#include <cstring>
#include <vector>

#include "base/ZkText.h"
#include "platform/ZkFileHandle.h"

#ifndef ZK_FILE_VERSION
#error "The build defines ZK_FILE_VERSION for the core library"
#endif

namespace zk::platform {

// Kept in the binary even though nothing reads it in memory; the implicit
// zero byte of the literal ends the pair list. The reader's needle is taken
// from this array itself, so the marker appears only once in the program.
// External linkage and not constexpr: otherwise g++ copies the value into
// the debug information, a second marker.
extern const char kVersionBlock[];
[[gnu::used]] const char kVersionBlock[] =
    "\0ZkVersionInfo\0"
    "FileVersion\0" ZK_FILE_VERSION "\0"
    "ProductVersion\0" ZK_FILE_VERSION "\0"
    "ProductName\0Backup\0";

namespace {


// A block found in a file that is not ended within this many bytes is not one
// of ours.
constexpr std::size_t kMaxBlockSize = 4096;

// Whether the bytes after the marker hold the end of the pair list: a zero
// byte where a key would begin (a value ends with one just before it).
bool HoldsEnd(std::string_view pairs) {
  return (!pairs.empty() && pairs.front() == '\0') || pairs.find(std::string_view("\0\0", 2)) != std::string_view::npos;
}

// The pair list that follows the marker, read on until its end is in the
// text; empty when the file ends first.
std::string ReadPairList(FileHandle& file, std::string block, std::vector<char>& chunk) {
  while (!HoldsEnd(block)) {
    if (block.size() > kMaxBlockSize) return {};
    const auto count = file.Read(chunk.data(), chunk.size());
    if (count <= 0) return {};
    block.append(chunk.data(), static_cast<std::size_t>(count));
  }
  return block;
}

std::string ValueOf(std::string_view pairs, std::string_view key) {
  std::size_t pos = 0;
  while (pos < pairs.size() && pairs[pos] != '\0') {
    const auto keyEnd = pairs.find('\0', pos);
    if (keyEnd == std::string_view::npos) return {};
    const auto valueEnd = pairs.find('\0', keyEnd + 1);
    if (valueEnd == std::string_view::npos) return {};
    if (SameText(pairs.substr(pos, keyEnd - pos), key))
      return std::string(pairs.substr(keyEnd + 1, valueEnd - keyEnd - 1));
    pos = valueEnd + 1;
  }
  return {};
}

}  // namespace

// The leading zero byte, the name and the zero byte after it.
std::string_view VersionBlockMarker() { return {kVersionBlock, 1 + std::strlen(kVersionBlock + 1) + 1}; }

std::string ReadVersionValue(std::string_view key, const std::string& fileName) {
  FileHandle file = FileHandle::OpenForReading(fileName.empty() ? "/proc/self/exe" : fileName);
  if (!file.IsOpen()) return {};
  const std::string_view marker = VersionBlockMarker();
  std::vector<char> chunk(kVersionScanChunkSize);
  // The window keeps the last marker-size minus one bytes of the previous
  // chunk, so a marker split between two chunks is still found.
  std::string window;
  for (;;) {
    const auto count = file.Read(chunk.data(), chunk.size());
    if (count <= 0) return {};
    window.append(chunk.data(), static_cast<std::size_t>(count));
    const auto found = window.find(marker);
    if (found != std::string::npos)
      return ValueOf(ReadPairList(file, window.substr(found + marker.size()), chunk), key);
    if (window.size() >= marker.size()) window.erase(0, window.size() - (marker.size() - 1));
  }
}

}  // namespace zk::platform
