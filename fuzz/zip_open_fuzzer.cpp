// Opens arbitrary bytes as a zip archive, reads everything the directory
// offers, then either changes it (an add, in place or by rebuilding as the
// first byte says, and a delete) or builds a new archive beside it from its
// entries copied as they are and one new entry. Errors are expected;
// crashes, leaks and sanitizer reports are not, an archive that took an add
// must open again with one entry more, and a new archive must open with
// every entry that was copied into it.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/ZkError.h"
#include "zip/ZkZip.h"

namespace {

std::string TemporaryPath(const char* name) {
  return (std::filesystem::temp_directory_path() / ("zk-zip-fuzz-" + std::to_string(getpid()) + name)).string();
}

const std::string& ArchivePath() {
  static const std::string path = TemporaryPath(".zip");
  return path;
}

const std::string& NewArchivePath() {
  static const std::string path = TemporaryPath("-new.zip");
  return path;
}

const std::string kContent = "fuzz entry content, fuzz entry content";

void ChangeInPlace(zk::TZkZip& zip, const std::string& path) {
  const int before = zip.Entries().Count();
  zk::TZkZipMemorySource source(kContent);
  zip.Entries().AddStream("/fuzz/added.txt", 0x20, source, 45000.5);
  const int after = zip.Entries().Count();
  zip.CloseArchive();
  zk::TZkZip check;
  check.OpenArchive(path);
  if (!check.IsZipFile() || check.Entries().Count() != after || after < before ||
      check.Entries().Items(after - 1).Name() != "fuzz/added.txt")
    __builtin_trap();
  if (check.Entries().Count() > 1) check.Entries().DeleteEntry(0);
}

void CopyIntoNewArchive(const zk::TZkZip& zip) {
  const std::string& path = NewArchivePath();
  zk::TZkZip built;
  built.BeginArchive(path);
  built.BeginUpdate();
  for (int i = 0; i < zip.Entries().Count(); ++i) {
    try {
      built.CopyEntry(zip, i);
    } catch (const zk::EZkError&) {
      // An entry that cannot be copied as it is, or whose name came twice,
      // is refused alone; the others go on.
    }
  }
  zk::TZkZipMemorySource source(kContent);
  built.Entries().AddStream("/fuzz/added.txt", 0x20, source, 45000.5);
  built.EndUpdate();
  const int count = built.Entries().Count();
  built.CommitArchive();
  zk::TZkZip check;
  check.OpenArchive(path);
  if (!check.IsZipFile() || check.Entries().Count() != count) __builtin_trap();
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

    if ((mode & 2) != 0)
      CopyIntoNewArchive(zip);
    else
      ChangeInPlace(zip, path);
  } catch (const zk::EZkError&) {
  }
  return 0;
}
