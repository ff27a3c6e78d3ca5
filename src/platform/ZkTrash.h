#pragma once
// The desktop's trash (the freedesktop.org trash layout): a deleted entry
// goes to Trash/files under the user's data folder, with a record in
// Trash/info that tells the desktop where it came from and when, so that the
// file manager can put it back.

#include <optional>
#include <string>
#include <string_view>

namespace zk::platform {

// $XDG_DATA_HOME/Trash, or ~/.local/share/Trash when XDG_DATA_HOME is unset
// or not an absolute path.
std::string HomeTrashFolder();

// Moves the file, link or folder to the trash and writes its record
// (Path, DeletionDate). An entry whose name the trash holds already gets a
// number ("a.2.txt"). Returns the entry's name in the trash. On failure the
// entry stays where it was, no record is left, LastSystemErrorText() says
// why and the result is empty; an entry on another file system than the
// trash is not moved (copying it would not be the quick, undoable delete
// the user asked for).
std::optional<std::string> MoveToTrash(const std::string& path);

// The path as the record keeps it: every byte except letters, digits,
// "-._~" and "/" written as %XX.
std::string PercentEncodePath(std::string_view path);

}  // namespace zk::platform
