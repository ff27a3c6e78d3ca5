#include "platform/ZkTestWindow.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <thread>

namespace zk::test {

struct TTestWindow::TState {
  Display* display = nullptr;
  Window window = 0;
  Atom deleteWindow = 0;
};

TTestWindow::TTestWindow(const std::string& display, const std::string& instance, const std::string& className,
                         const std::string& caption)
    : state_(std::make_unique<TState>()) {
  Display* d = XOpenDisplay(display.c_str());
  if (d == nullptr) return;
  state_->display = d;
  const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 100, 100, 0, 0, 0);
  state_->window = w;
  std::string name = instance;
  std::string klass = className;
  XClassHint hint{name.data(), klass.data()};
  XSetClassHint(d, w, &hint);
  XStoreName(d, w, "plain name");
  XChangeProperty(d, w, XInternAtom(d, "_NET_WM_NAME", False), XInternAtom(d, "UTF8_STRING", False), 8,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(caption.data()),
                  static_cast<int>(caption.size()));
  state_->deleteWindow = XInternAtom(d, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(d, w, &state_->deleteWindow, 1);
  XMapWindow(d, w);
  XSync(d, False);
}

TTestWindow::~TTestWindow() {
  if (state_->display != nullptr) XCloseDisplay(state_->display);
}

bool TTestWindow::IsOpen() const {
  return state_->display != nullptr;
}

int TTestWindow::CloseRequests(int waitMs) {
  int count = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (count == 0 && std::chrono::steady_clock::now() < deadline) {
    while (XPending(state_->display) > 0) {
      XEvent event;
      XNextEvent(state_->display, &event);
      if (event.type == ClientMessage && event.xclient.window == state_->window &&
          static_cast<Atom>(event.xclient.data.l[0]) == state_->deleteWindow)
        ++count;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return count;
}

}  // namespace zk::test
