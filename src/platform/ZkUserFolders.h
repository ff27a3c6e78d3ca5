#pragma once
// The folders of the user who runs the program, as a desktop session gives
// them.

#include <string>

namespace zk::platform {

// $HOME when it is an absolute path, else the home folder of the user's
// account, else "/".
std::string HomeFolder();

// $XDG_CONFIG_HOME when it is an absolute path (a relative one is ignored,
// as the desktop rule says), else ~/.config.
std::string UserConfigFolder();

// $XDG_DATA_HOME when it is an absolute path, else ~/.local/share.
std::string UserDataFolder();

// True when this user may create files in the folder (its permissions and
// a read-only mount both count).
bool FolderWritable(const std::string& path);

}  // namespace zk::platform
