#pragma once
// A top-level window of the test's own on an X display, and the close
// requests (WM_DELETE_WINDOW) it receives. Kept apart from the tests so that
// Xlib's macros stay out of them.

#include <memory>
#include <string>

namespace zk::test {

class TTestWindow {
public:
  TTestWindow(const std::string& display, const std::string& instance, const std::string& className,
              const std::string& caption);
  ~TTestWindow();
  TTestWindow(const TTestWindow&) = delete;
  TTestWindow& operator=(const TTestWindow&) = delete;

  bool IsOpen() const;
  // How many close requests arrive within the time (stops at the first).
  int CloseRequests(int waitMs);

private:
  struct TState;
  std::unique_ptr<TState> state_;
};

}  // namespace zk::test
