// Opens arbitrary bytes as a zip archive, reads everything the directory
// offers, then adds an entry (in place or by rebuilding, as the first byte
// says) and deletes one. Errors are expected; crashes, leaks and sanitizer
// reports are not, and an archive that took an add must open again with
// one entry more.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "util/ZkError.h"
#include "zip/ZkZip.h"

namespace {

const std::string& ArchivePath() {
  static const std::string path =
      (std::filesystem::temp_directory_path() / ("zk-zip-fuzz-" + std::to_string(getpid()) + ".zip")).string();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = ArchivePath();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) return 0;
  }
  const std::uint8_t mode = size > 0 ? data[0] : 0;
  zk::TZkZip zip;
  zip.SetSaveMethod((mode & 1) != 0 ? zk::TZipSaveMethod::RebuildAll : zk::TZipSaveMethod::FastSave);
  zip.SetUseTempFiles((mode & 2) != 0);
  zip.SetCompressionType((mode & 4) != 0 ? zk::TZipCompressionType::ctNone : zk::TZipCompressionType::ctFast);
  try {
    zip.OpenArchive(path);
    if (!zip.IsZipFile()) return 0;
    std::uint64_t sum = 0;
    for (int i = 0; i < zip.Entries().Count(); ++i) {
      const zk::TZkZipEntriesEntry& entry = zip.Entries().Items(i);
      sum += entry.LocalEntrySize() + entry.CentralEntrySize() + entry.Name().size();
      sum += entry.IsDirectory() + entry.Encrypted() + static_cast<int>(entry.Compression());
    }
    sum += zip.FileNames().size() + zip.Comment().size();
    if (sum == 1) return 0;  // keeps the reads from being optimised away

    const int before = zip.Entries().Count();
    const std::string content = "fuzz entry content, fuzz entry content";
    zk::TZkZipMemorySource source(content);
    zip.Entries().AddStream("/fuzz/added.txt", 0x20, source, 45000.5);
    const int after = zip.Entries().Count();
    zip.CloseArchive();
    zk::TZkZip check;
    check.OpenArchive(path);
    if (!check.IsZipFile() || check.Entries().Count() != after || after < before ||
        check.Entries().Items(after - 1).Name() != "fuzz/added.txt")
      __builtin_trap();
    if (check.Entries().Count() > 1) check.Entries().DeleteEntry(0);
  } catch (const zk::EZkError&) {
  }
  return 0;
}
