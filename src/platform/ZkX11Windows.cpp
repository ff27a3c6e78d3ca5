#include "platform/ZkX11Windows.h"

#ifdef ZK_HAVE_X11

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/ZkText.h"

namespace zk::platform::detail {
namespace {

struct TDisplayCloser {
  void operator()(Display* display) const { XCloseDisplay(display); }
};
using TDisplayPtr = std::unique_ptr<Display, TDisplayCloser>;

struct TXFree {
  void operator()(void* data) const {
    if (data != nullptr) XFree(data);
  }
};
template <class T>
using TXPtr = std::unique_ptr<T, TXFree>;

// Windows may vanish while they are looked at; Xlib's default handler would
// end the program on the error that follows.
int IgnoreXError(Display*, XErrorEvent*) {
  return 0;
}

// The error handler is one for the whole process: installed for the lookup
// and put back afterwards, one lookup at a time.
class TErrorHandlerScope {
public:
  TErrorHandlerScope() : lock_(Mutex()), previous_(XSetErrorHandler(IgnoreXError)) {}
  ~TErrorHandlerScope() { XSetErrorHandler(previous_); }
  TErrorHandlerScope(const TErrorHandlerScope&) = delete;
  TErrorHandlerScope& operator=(const TErrorHandlerScope&) = delete;

private:
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }
  std::lock_guard<std::mutex> lock_;
  XErrorHandler previous_;
};

std::optional<bool> ClassMatches(Display* display, Window window, const std::string& text) {
  XClassHint hint{};
  if (XGetClassHint(display, window, &hint) == 0) return std::nullopt;
  const TXPtr<char> name(hint.res_name);
  const TXPtr<char> klass(hint.res_class);
  return (name && SameText(name.get(), text)) || (klass && SameText(klass.get(), text));
}

std::optional<std::string> Caption(Display* display, Window window) {
  const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count, &after, &data) ==
          Success &&
      data != nullptr) {
    const TXPtr<unsigned char> owned(data);
    if (type == utf8 && format == 8) return std::string(reinterpret_cast<const char*>(data), count);
  }
  char* name = nullptr;
  if (XFetchName(display, window, &name) != 0 && name != nullptr) {
    const TXPtr<char> owned(name);
    return std::string(name);
  }
  return std::nullopt;
}

// Whether the window carries the client properties looked at, and whether
// they match.
std::optional<bool> Matches(Display* display, Window window, const std::string& text, TWindowMatch match) {
  if (match == TWindowMatch::Class) return ClassMatches(display, window, text);
  const auto caption = Caption(display, window);
  if (!caption) return std::nullopt;
  return SameText(*caption, text);
}

std::vector<Window> Children(Display* display, Window window) {
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (XQueryTree(display, window, &root, &parent, &children, &count) == 0) return {};
  const TXPtr<Window> owned(children);
  return std::vector<Window>(children, children + count);
}

// Top-level windows from the top of the stacking order down. A window
// manager puts each client window into a frame of its own, so a child of the
// root without the properties stands for the client windows inside it.
std::optional<Window> Find(Display* display, const std::string& text, TWindowMatch match) {
  const std::vector<Window> topLevel = Children(display, DefaultRootWindow(display));
  for (auto it = topLevel.rbegin(); it != topLevel.rend(); ++it) {
    if (const auto result = Matches(display, *it, text, match)) {
      if (*result) return *it;
      continue;
    }
    for (const Window child : Children(display, *it)) {
      const auto result = Matches(display, child, text, match);
      if (result && *result) return child;
    }
  }
  return std::nullopt;
}

}  // namespace

bool CloseTopLevelWindow(const std::string& text, TWindowMatch match) {
  const TErrorHandlerScope errors;
  const TDisplayPtr display(XOpenDisplay(nullptr));
  if (!display) return false;
  const auto window = Find(display.get(), text, match);
  if (!window) return false;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = *window;
  event.xclient.message_type = XInternAtom(display.get(), "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display.get(), "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  const Status sent = XSendEvent(display.get(), *window, False, NoEventMask, &event);
  XSync(display.get(), False);
  return sent != 0;
}

}  // namespace zk::platform::detail

#else

namespace zk::platform::detail {

// Built without X11: there is no display, so there is no window.
bool CloseTopLevelWindow(const std::string&, TWindowMatch) {
  return false;
}

}  // namespace zk::platform::detail

#endif
