#include "platform/ZkUserFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace zk::platform {

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* user = getpwuid(getuid()); user != nullptr && user->pw_dir != nullptr) return user->pw_dir;
  return "/";
}

std::string UserConfigFolder() {
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config == '/') return config;
  std::string home = HomeFolder();
  if (home.empty() || home.back() != '/') home += '/';
  return home + ".config";
}

bool FolderWritable(const std::string& path) {
  return access(path.c_str(), W_OK | X_OK) == 0;
}

}  // namespace zk::platform
