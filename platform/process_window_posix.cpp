// X11: a window's process is its _NET_WM_PID property. Only windows that the program itself
// showed are candidates: toolkits keep hidden helper windows with the same _NET_WM_PID (GTK's
// 10x10 client leader, for one), and mapping one of those would put an empty window in front of
// the user. Nothing here maps a window.
//
// With a window manager that keeps the desktop conventions, the candidates are its client list,
// topmost first, and activation is a request to it (it also restores a minimised window). Without
// one, they are the shown top-level windows, topmost first, and we raise and focus the window
// ourselves; under a manager without the conventions the top-level windows are its frames, and the
// client window inside each (marked by WM_STATE) is the one that carries _NET_WM_PID.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
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

std::optional<Window> WindowProperty(Display* display, Window window, const char* name) {
  const auto items =
      CardinalProperty(display, window, XInternAtom(display, name, False), XA_WINDOW);
  if (!items || items->empty()) return std::nullopt;
  return items->front();
}

// True while a window manager keeping the desktop conventions runs: the check window it names on
// the root exists and names itself. A client list that an ended manager left on the root does not
// count.
bool ConventionalWindowManagerRuns(Display* display, Window root) {
  const auto check = WindowProperty(display, root, "_NET_SUPPORTING_WM_CHECK");
  return check && WindowProperty(display, *check, "_NET_SUPPORTING_WM_CHECK") == check;
}

// The manager's clients, topmost first when it tells the stacking order.
std::vector<Window> ManagedClients(Display* display, Window root) {
  const Atom window = XA_WINDOW;
  if (auto stacking = CardinalProperty(
          display, root, XInternAtom(display, "_NET_CLIENT_LIST_STACKING", False), window)) {
    return {stacking->rbegin(), stacking->rend()};
  }
  auto clients =
      CardinalProperty(display, root, XInternAtom(display, "_NET_CLIENT_LIST", False), window);
  return clients ? std::vector<Window>(clients->begin(), clients->end()) : std::vector<Window>{};
}

// The children of `window`, bottom first.
std::vector<Window> Children(Display* display, Window window) {
  Window rootReturn = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, window, &rootReturn, &parent, &children, &count)) return {};
  std::unique_ptr<Window, XFreer> owned(children);
  return std::vector<Window>(children, children + count);
}

// A window the user could be looking at: mapped with all its ancestors, able to show something,
// and left to the window manager (override-redirect windows are menus, tooltips and the like).
bool IsShownTopLevel(Display* display, Window window, bool mustBeViewable) {
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, window, &attributes)) return false;
  return attributes.c_class == InputOutput && !attributes.override_redirect &&
         (!mustBeViewable || attributes.map_state == IsViewable);
}

bool HasWmState(Display* display, Window window) {
  const Atom wmState = XInternAtom(display, "WM_STATE", False);
  Atom actualType = None;
  int format = 0;
  unsigned long count = 0, remaining = 0;
  unsigned char* raw = nullptr;
  XGetWindowProperty(display, window, wmState, 0, 0, False, AnyPropertyType, &actualType, &format,
                     &count, &remaining, &raw);
  if (raw) XFree(raw);
  return actualType != None;
}

// The client window in a manager's frame `window`, or nothing when there is none below it.
std::optional<Window> ClientInFrame(Display* display, Window window, int depth = 0) {
  if (HasWmState(display, window)) return window;
  if (depth == 3) return std::nullopt;  // frames nest clients only a few levels deep
  for (Window child : Children(display, window)) {
    if (auto client = ClientInFrame(display, child, depth + 1)) return client;
  }
  return std::nullopt;
}

// The shown client windows, topmost first, when no manager keeps a client list. Without any
// manager a top-level window is its own client.
std::vector<Window> ShownClients(Display* display, Window root) {
  std::vector<Window> clients;
  const std::vector<Window> topLevels = Children(display, root);
  for (auto it = topLevels.rbegin(); it != topLevels.rend(); ++it) {
    if (!IsShownTopLevel(display, *it, true)) continue;
    const Window client = ClientInFrame(display, *it).value_or(*it);
    if (client == *it || IsShownTopLevel(display, client, true)) clients.push_back(client);
  }
  return clients;
}

bool BelongsTo(Display* display, Window window, std::int64_t processId) {
  const auto pid =
      CardinalProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL);
  return pid && !pid->empty() && static_cast<std::int64_t>(pid->front()) == processId;
}

// The window to bring forward, and whether a manager is to be asked to do it.
struct Target {
  Window window;
  bool managed;
};

std::optional<Target> WindowOfProcess(Display* display, Window root, std::int64_t processId) {
  const bool managed = ConventionalWindowManagerRuns(display, root);
  // The manager lists only windows the program mapped; a minimised one is not viewable but is
  // still the program's window, and activating it restores it.
  const std::vector<Window> candidates =
      managed ? ManagedClients(display, root) : ShownClients(display, root);
  for (Window window : candidates) {
    if (BelongsTo(display, window, processId) && IsShownTopLevel(display, window, !managed)) {
      return Target{window, managed};
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
  const auto target = WindowOfProcess(display.get(), root, processId);
  if (!target) return false;
  if (target->managed) {
    AskWindowManagerToActivate(display.get(), root, target->window);
  } else {
    // Raising a client inside a frame is a request to that manager, which restacks the frame.
    XRaiseWindow(display.get(), target->window);
    XSetInputFocus(display.get(), target->window, RevertToParent, CurrentTime);
  }
  XSync(display.get(), False);
  return true;
}

}  // namespace rigwright
