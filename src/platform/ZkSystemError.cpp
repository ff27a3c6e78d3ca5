#include "platform/ZkSystemError.h"

#include <cstring>
#include <utility>

namespace zk::platform {
namespace {

thread_local std::string lastError;

}  // namespace

void SetLastSystemError(std::string text) {
  lastError = std::move(text);
}

void SetLastSystemErrno(int code) {
  char buffer[256] = {};
  // The GNU strerror_r returns the text, which need not be in the buffer.
  SetLastSystemError(strerror_r(code, buffer, sizeof buffer));
}

void ClearLastSystemError() {
  lastError.clear();
}

const std::string& LastSystemErrorText() {
  return lastError;
}

}  // namespace zk::platform
