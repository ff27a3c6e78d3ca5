#pragma once
// Replacing a file the user owns without ever leaving it truncated: the new
// content is written under a temporary name beside the target and renamed
// over it only when it is complete.

#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ZkFileHandle.h"

namespace zk::platform {

// What a symbolic link at the target means: the user's own pointer to the
// file to replace (the job file, the INI file), or something nothing may be
// written through (archives and copies in folders others may write to).
enum class TLinkRule { lrRefuse, lrFollow };

// A new file that takes the place of `path` only when committed. The
// temporary file gets a fresh random name in the target's folder and is
// created exclusively, so that a link planted in a shared folder cannot
// redirect it. Destroyed uncommitted, it removes the temporary file and the
// target stays as it was. A target that is a symbolic link is refused, or
// with lrFollow kept: the file it points to is then what gets replaced.
class AtomicFile {
public:
  // EZkFileCreateError "Létrehozási hiba (%s)" naming `path` when the
  // temporary file cannot be made, or when `path` is there but is no
  // regular file (a folder, a FIFO, a device is never replaced);
  // "A cél szimbolikus link, nem írható felül (%s)" for a refused link.
  explicit AtomicFile(const std::string& path, TLinkRule links = TLinkRule::lrRefuse);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  const std::string& Path() const { return path_; }
  const std::string& TemporaryPath() const { return temporary_; }
  // Open for reading and writing; stays open after Commit, on the file that
  // is then at the target.
  FileHandle& File() { return file_; }
  bool Committed() const { return committed_; }

  // Flushes the file to disk and renames it over the target, then makes the
  // rename durable. EZkFileWriteError "Írási hiba (%s)" naming the target
  // when the flush or the rename fails; the temporary file is then removed
  // by the destructor. Without `flush` only the rename is done: a kill
  // still leaves the old file or the new one, but the new content reaches
  // the disk when the system writes it back (or at SyncFileSystems), which
  // spares writers of many files a flush each.
  void Commit(bool flush = true);
  // The same, but the file takes the place of `path` instead, a file in the
  // same folder (a link there is replaced, never written through).
  void CommitAs(const std::string& path, bool flush = true);

private:
  std::string path_;
  std::string target_;
  std::string temporary_;
  FileHandle file_;
  bool committed_ = false;
};

// Writes the new content of `path` through `write` into an AtomicFile that
// follows a link at `path`, and commits it. The old file keeps its content when anything fails: the error
// is passed on (EZkFileCreateError, EZkFileWriteError when a write fails, or
// whatever `write` throws). A replaced file keeps its permission bits; a new
// one gets the usual ones. Temporary files that killed writers left in the
// folder are removed first.
void WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write);

// Writes everything waiting for the file systems that hold the folders to
// the disk, once per file system; the folders that could not be, one of
// each file system that failed.
std::vector<std::string> SyncFileSystems(const std::vector<std::string>& folders);

// True for the name (without folder) of a temporary file of AtomicFile.
bool IsAtomicTemporaryName(std::string_view fileName);

// Removes the temporary files that processes which no longer run left in
// `folder` (killed in the middle of a write). Another running program's
// file is left alone. Failures are not reported: a leftover only takes room.
void RemoveAtomicLeftovers(const std::string& folder);

}  // namespace zk::platform
