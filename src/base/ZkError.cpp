#include "base/ZkError.h"

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

}  // namespace zk
