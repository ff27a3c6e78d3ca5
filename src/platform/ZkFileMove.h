#pragma once
// Moving and removing entries as whole: what copy, move and delete of files
// and folders need beyond reading and writing files.

#include <string>

namespace zk::platform {

enum class MoveResult {
  Moved,
  Exists,       // the target exists and was not to be replaced
  CrossDevice,  // source and target lie on different file systems
  Failed,       // LastSystemErrorText() says why
};

// Renames the entry (a file, link or folder). An existing target is kept
// unless replace is set; a folder never replaces anything.
MoveResult MoveEntry(const std::string& from, const std::string& to, bool replace);

// Removes a file or a link (never what it points to), or a folder with
// everything in it. False on failure, with LastSystemErrorText().
bool RemoveTree(const std::string& path);

// The absolute path with links, "." and ".." resolved; a missing end of the
// path is appended to its resolved existing beginning.
std::string CanonicalPath(const std::string& path);

// Whether the entry itself is a symbolic link.
bool IsSymbolicLink(const std::string& path);
// Creates a link at `to` that points where the link at `from` points.
bool CopySymbolicLink(const std::string& from, const std::string& to);

}  // namespace zk::platform
