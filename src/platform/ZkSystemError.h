#pragma once
// The calling thread's last system error as a text, the counterpart of the
// last-error code that the service and session functions report with their
// messages. Backends set it when an operation fails; callers read it right
// after the failed call on the same thread.

#include <string>

namespace zk::platform {

void SetLastSystemError(std::string text);
// The text of an errno value, as strerror_r gives it.
void SetLastSystemErrno(int code);
void ClearLastSystemError();
// Empty when the last operation of this thread succeeded.
const std::string& LastSystemErrorText();

}  // namespace zk::platform
