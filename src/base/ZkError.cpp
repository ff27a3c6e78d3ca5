#include "base/ZkError.h"

#include <cerrno>

namespace zk {

std::string FormatMessage(std::string_view format, std::initializer_list<std::string_view> args) {
  std::string result;
  result.reserve(format.size());
  auto next = args.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's' && next != args.end()) {
      result += *next++;
      ++i;
    } else {
      result += format[i];
    }
  }
  return result;
}

EZkFileWriteError WriteErrorOf(std::string_view path, int error) {
  const bool full = error == ENOSPC || error == EDQUOT || error == EFBIG;
  return EZkFileWriteError(FormatMessage(full ? "Írási hiba, megtelt a lemez (%s)" : "Írási hiba (%s)", {path}));
}

}  // namespace zk
