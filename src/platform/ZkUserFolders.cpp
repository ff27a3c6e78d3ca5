#include "platform/ZkUserFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace zk::platform {

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') return home;
  if (const passwd* user = getpwuid(getuid()); user != nullptr && user->pw_dir != nullptr) return user->pw_dir;
  return "/";
}

namespace {

// An XDG folder variable when it holds an absolute path (a relative one is
// ignored, as the desktop rule says), else the folder below home.
std::string XdgFolder(const char* variable, const char* belowHome) {
  if (const char* value = std::getenv(variable); value != nullptr && *value == '/') return value;
  std::string home = HomeFolder();
  if (home.empty() || home.back() != '/') home += '/';
  return home + belowHome;
}

}  // namespace

std::string UserConfigFolder() { return XdgFolder("XDG_CONFIG_HOME", ".config"); }

std::string UserDataFolder() { return XdgFolder("XDG_DATA_HOME", ".local/share"); }

bool FolderWritable(const std::string& path) {
  return access(path.c_str(), W_OK | X_OK) == 0;
}

}  // namespace zk::platform
