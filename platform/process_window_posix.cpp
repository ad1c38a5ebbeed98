// X11: a window's process is its _NET_WM_PID property. With a window manager the top-level
// windows are its client list and activation is a request to it; without one they are the root's
// children and we raise and focus the window ourselves.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <memory>
#include <optional>
#include <vector>

#include "platform/process_window.h"

namespace rigwright {
namespace {

struct DisplayCloser {
  void operator()(Display* display) const { XCloseDisplay(display); }
};
struct XFreer {
  void operator()(void* data) const { XFree(data); }
};

// The 32-bit items of a property of type `type`, or nothing when the window lacks it.
std::optional<std::vector<unsigned long>> CardinalProperty(Display* display, Window window,
                                                           Atom property, Atom type) {
  Atom actualType = None;
  int format = 0;
  unsigned long count = 0, remaining = 0;
  unsigned char* raw = nullptr;
  if (XGetWindowProperty(display, window, property, 0, 1 << 16, False, type, &actualType, &format,
                         &count, &remaining, &raw) != Success) {
    return std::nullopt;
  }
  std::unique_ptr<unsigned char, XFreer> data(raw);
  if (actualType != type || format != 32 || !data) return std::nullopt;
  const auto* items = reinterpret_cast<const unsigned long*>(data.get());
  return std::vector<unsigned long>(items, items + count);
}

std::vector<Window> TopLevelWindows(Display* display, Window root, bool* managed) {
  const Atom clientList = XInternAtom(display, "_NET_CLIENT_LIST", False);
  if (auto clients = CardinalProperty(display, root, clientList, XA_WINDOW)) {
    *managed = true;
    return {clients->begin(), clients->end()};
  }
  *managed = false;
  Window rootReturn = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, root, &rootReturn, &parent, &children, &count)) return {};
  std::unique_ptr<Window, XFreer> owned(children);
  return std::vector<Window>(children, children + count);
}

std::optional<Window> WindowOfProcess(Display* display, Window root, std::int64_t processId,
                                      bool* managed) {
  const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
  for (Window window : TopLevelWindows(display, root, managed)) {
    auto pid = CardinalProperty(display, window, pidAtom, XA_CARDINAL);
    if (pid && !pid->empty() && static_cast<std::int64_t>(pid->front()) == processId) {
      return window;
    }
  }
  return std::nullopt;
}

// The default X error handler ends the process; a window that vanishes or is not yet viewable
// while we act on it must not take the caller down with it.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

class XErrorsIgnored {
 public:
  XErrorsIgnored() : previous_(XSetErrorHandler(IgnoreXError)) {}
  ~XErrorsIgnored() { XSetErrorHandler(previous_); }
  XErrorsIgnored(const XErrorsIgnored&) = delete;
  XErrorsIgnored& operator=(const XErrorsIgnored&) = delete;

 private:
  int (*previous_)(Display*, XErrorEvent*);
};

void AskWindowManagerToActivate(Display* display, Window root, Window window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = 2;  // source: a pager-like tool acting for the user
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

}  // namespace

bool BringProcessWindowToFront(std::int64_t processId) {
  std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
  if (!display) return false;
  XErrorsIgnored errorsIgnored;
  const Window root = DefaultRootWindow(display.get());
  bool managed = false;
  const auto window = WindowOfProcess(display.get(), root, processId, &managed);
  if (!window) return false;
  if (managed) {
    AskWindowManagerToActivate(display.get(), root, *window);
  } else {
    XMapRaised(display.get(), *window);
    XSetInputFocus(display.get(), *window, RevertToParent, CurrentTime);
  }
  XSync(display.get(), False);
  return true;
}

}  // namespace rigwright
