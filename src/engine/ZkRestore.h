#pragma once
// Putting the files of a run back: the entries of its archive (for a
// differential archive, its base overlaid by its own entries), each to its
// original path or below a chosen folder by its stored path.
//
// Every file is written under a temporary name beside its final path and
// renamed over it only when all its data is there and its CRC-32 holds, so
// a failure, a stop or a kill leaves each file either as it was or fully
// restored. An entry name that is absolute or holds "..", or that would
// leave the chosen folder through a symbolic link already there, is refused
// and nothing is written for it. A file that cannot be written is reported
// and the rest goes on.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/ZkDateTime.h"

namespace zk {

class TZkZipReader;

enum class TZkOverwrite {
  owNever,   // an existing file is kept (skipped)
  owNewer,   // replaced only when the archive's copy is newer
  owAlways,  // always replaced
  owAsk,     // OnAsk decides for each existing file
};

// What OnAsk answers for an existing file: replace it or keep it, and
// whether that holds for the rest of the run too.
enum class TZkRestoreAnswer { raYes, raNo, raAll, raNone };

// One file or folder the restore can put back.
struct TZkRestoreItem {
  std::string Name;  // the entry name, UTF-8, "/" separators
  std::string OriginalPath;
  std::uint64_t Size = 0;
  TDateTime DateTime = 0;
  bool Folder = false;
  // Where it is read from: the index of the archive and of its entry.
  std::size_t Archive = 0;
  std::size_t Entry = 0;
};

// Files only; a folder that cannot be made counts as failed.
struct TZkRestoreCounts {
  int Restored = 0;
  int Skipped = 0;
  int Failed = 0;
};

class TZkRestore {
public:
  // Opens the archives, the base first: an entry of a later one takes the
  // place of the earlier's of the same name. Raises the reader's open and
  // directory errors.
  explicit TZkRestore(const std::vector<std::string>& archives);
  ~TZkRestore();
  TZkRestore(const TZkRestore&) = delete;
  TZkRestore& operator=(const TZkRestore&) = delete;

  // Every file and folder of the run, ordered by entry name.
  const std::vector<TZkRestoreItem>& Items() const { return items_; }

  // Below this folder by the stored path; none: to the original paths.
  std::optional<std::string> TargetFolder;
  TZkOverwrite Overwrite = TZkOverwrite::owNever;

  // The path an item goes to.
  std::string DestinationOf(const TZkRestoreItem& item) const;
  // Whether an item lies at or below one of the original paths (all when
  // none is given).
  static bool IsSelected(const TZkRestoreItem& item, const std::vector<std::string>& paths);

  // With owAsk, for each file that exists at its destination, on the
  // thread of Run; until it answers raAll or raNone, which stand for the
  // rest of the run. None set: such a file is kept.
  std::function<TZkRestoreAnswer(const TZkRestoreItem& item, const std::string& destination)> OnAsk;
  // Each failure as one line of text ("name: why").
  std::function<void(const std::string& text)> OnError;
  // Before each item and as its data goes: the bytes done of all chosen
  // items and the item.
  std::function<void(std::uint64_t done, std::uint64_t total, const TZkRestoreItem& item)> OnProgress;
  // Checked between items and while data is written: set, the file being
  // written is dropped and nothing more is done.
  std::atomic<bool> StopRequested{false};

  // Restores the chosen items (indexes into Items()).
  TZkRestoreCounts Run(const std::vector<std::size_t>& chosen);

private:
  // Restores one file; false when it was kept as it was (skipped).
  bool RestoreFile(const TZkRestoreItem& item, const std::string& destination, std::uint64_t& done,
                   std::uint64_t total);
  void Fail(const TZkRestoreItem& item, const std::string& why, TZkRestoreCounts& counts);
  // Whether an existing file at `destination` gives way to the item.
  bool Replaces(const TZkRestoreItem& item, const std::string& destination);

  std::vector<std::unique_ptr<TZkZipReader>> readers_;
  std::vector<TZkRestoreItem> items_;
  // The folders this run wrote files into, to be flushed at its end.
  std::set<std::string> written_;
  // The answer raAll or raNone gave for the rest of the run.
  std::optional<bool> replaceRest_;
};

// The reason an entry name cannot be restored ("abszolút útvonal", "..");
// nothing when it is a plain relative path.
std::optional<std::string> UnsafeEntryName(const std::string& name);

}  // namespace zk
