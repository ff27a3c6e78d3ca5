#pragma once
// Reading archives back: the directory of any archive, and the data of each
// entry streamed through a small window, so that memory does not grow with
// the size of an entry or of the archive. Stored and deflated entries are
// read, ZIP64 values included.
//
// Nothing of an entry is taken on trust: its local header must be there, its
// data must lie inside the archive, inflate must end exactly where the
// compressed size ends, the data may not grow beyond its recorded size (a
// forged size cannot fill the disk: reading stops at the first byte too
// many), and the CRC-32 must hold. The consumer gets the bytes as they come,
// so it must not treat them as final before Extract returned.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ZkDateTime.h"
#include "platform/ZkFileHandle.h"
#include "zip/ZkZip.h"

namespace zk {

// The archive has no readable directory: no end record, or a directory that
// does not read as the end record says.
class EZkZipArchiveError : public EZkZipError {
public:
  using EZkZipError::EZkZipError;
};

// One entry is bad; the text says why in a few words ("hibás CRC").
class EZkZipEntryError : public EZkZipError {
public:
  using EZkZipError::EZkZipError;
};

// One entry of the directory.
struct TZkZipReadEntry {
  TCentralDirectoryFile Central;
  // UTF-8: by the UTF-8 flag, the Unicode Path field when it belongs to the
  // stored name, or else CP852.
  std::string Name;
  TDateTime DateTime = 0;
  std::uint16_t DosTime = 0;
  std::uint16_t DosDate = 0;
  // A folder entry: a name ending in "/" or the folder attribute.
  bool IsDirectory() const;
};

class TZkZipReader {
public:
  // Receives the entry's data in order, in pieces of up to 64 KiB.
  using TSink = std::function<void(const char* data, std::size_t size)>;

  // Opens the archive and reads its directory. EZkFileOpenError
  // "Megnyitási hiba (%s)" when the file cannot be opened, EZkZipArchiveError
  // "Nem olvasható zip archívum (%s)" when it holds no readable directory.
  explicit TZkZipReader(const std::string& path);

  const std::string& Path() const { return path_; }
  const std::vector<TZkZipReadEntry>& Entries() const { return entries_; }

  // Streams the data of entry `index` into `sink` and checks it; raises
  // EZkZipEntryError naming what is wrong, or whatever the sink throws.
  void Extract(std::size_t index, const TSink& sink) const;

private:
  void ReadDirectory();

  std::string path_;
  platform::FileHandle file_;
  std::uint64_t size_ = 0;
  std::vector<TZkZipReadEntry> entries_;
};

// The reason of every bad entry, in directory order, as "name (why)"; an
// archive without a readable directory raises EZkZipArchiveError (or the
// open error) instead.
std::vector<std::string> VerifyArchiveEntries(const std::string& path);

}  // namespace zk
