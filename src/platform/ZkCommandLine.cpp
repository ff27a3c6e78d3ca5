#include "platform/ZkCommandLine.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace zk::platform {

std::vector<std::string> CommandLineArguments() {
  std::ifstream file("/proc/self/cmdline", std::ios::binary);
  const std::string data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  // Every argument, an empty one included, is terminated by a zero byte.
  std::vector<std::string> arguments;
  std::string::size_type start = 0;
  for (std::string::size_type end = data.find('\0'); end != std::string::npos; end = data.find('\0', start)) {
    arguments.emplace_back(data, start, end - start);
    start = end + 1;
  }
  if (start < data.size()) arguments.emplace_back(data, start);
  return arguments;
}

std::string ExecutablePath() {
  std::error_code failed;
  const std::filesystem::path path = std::filesystem::canonical("/proc/self/exe", failed);
  return failed ? std::string() : path.string();
}

}  // namespace zk::platform
