#pragma once
// Replacing a file the user owns without ever leaving it truncated.

#include <functional>
#include <ostream>
#include <string>

namespace zk::platform {

// Writes the new content of `path` through `write` into a temporary file in
// the same folder, flushes it to disk and renames it over `path`. The old
// file keeps its content when anything fails: the temporary file is removed
// and the error passed on (EZkFileCreateError "Létrehozási hiba (%s)" when
// the temporary file cannot be made, EZkFileWriteError "Írási hiba (%s)"
// when a write, flush or the rename fails, or whatever `write` throws). A
// replaced file keeps its permission bits; a new one gets the usual ones.
void WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write);

}  // namespace zk::platform
