#pragma once
// The version texts compiled into every program of the system, and reading
// them back from an executable file.

#include <cstddef>
#include <string>
#include <string_view>

namespace zk::platform {

// The value of a key (FileVersion, ProductVersion, ProductName; compared
// ignoring the case of A to Z) in the version block of an executable file;
// an empty file name reads the running program. Empty when the file cannot
// be read, carries no block, or the block lacks the key.
//
// The block is a marker followed by key/value pairs, each text ending in a
// zero byte, and one more zero byte after the last pair. It lives beside this
// reader, so every program that can ask for a version carries one.
std::string ReadVersionValue(std::string_view key, const std::string& fileName);

// The bytes that begin a version block, and the size of the pieces in which
// files are searched for them: for building test files.
std::string_view VersionBlockMarker();
inline constexpr std::size_t kVersionScanChunkSize = 65536;

}  // namespace zk::platform
