#include "platform/process_window.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>
#include <vector>

#include "common/testing/scoped_environment.h"
#include "platform/child_process.h"

// After every other header: Xlib defines macros such as None and Bool.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace rigwright {
namespace {

// Two top-level windows on the test display, one claimed by a made-up process.
class ProcessWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    display_ = XOpenDisplay(nullptr);
    if (!display_) GTEST_SKIP() << "needs a display (run under xvfb-run)";
    ours_ = NewWindow(::getpid());
    theirs_ = NewWindow(kOtherProcess);  // mapped last, so on top
  }
  void TearDown() override {
    if (display_) XCloseDisplay(display_);
  }

  Window NewWindow(long pid) {
    Window window =
        XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 100, 100, 0, 0, 0);
    XChangeProperty(display_, window, XInternAtom(display_, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(&pid), 1);
    XMapWindow(display_, window);
    XSync(display_, False);
    return window;
  }

  // The window highest in the stacking order among ours and theirs.
  Window TopOfTheTwo() {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count);
    Window top = 0;
    for (unsigned int i = 0; i < count; ++i) {
      if (children[i] == ours_ || children[i] == theirs_) top = children[i];
    }
    XFree(children);
    return top;
  }

  static constexpr long kOtherProcess = 999999;
  Display* display_ = nullptr;
  Window ours_ = 0;
  Window theirs_ = 0;
};

TEST_F(ProcessWindowTest, RaisesAndFocusesTheWindowOfTheProcess) {
  ASSERT_EQ(TopOfTheTwo(), theirs_);
  EXPECT_TRUE(BringProcessWindowToFront(::getpid()));
  XSync(display_, False);
  EXPECT_EQ(TopOfTheTwo(), ours_);
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(display_, &focus, &revert);
  EXPECT_EQ(focus, ours_);
}

TEST_F(ProcessWindowTest, AProcessWithoutWindowsChangesNothing) {
  EXPECT_FALSE(BringProcessWindowToFront(123456));
  XSync(display_, False);
  EXPECT_EQ(TopOfTheTwo(), theirs_);
}

TEST(ProcessWindowWithoutDisplayTest, NothingHappens) {
  ScopedEnvironment environment;
  environment.Set("DISPLAY", nullptr);
  EXPECT_FALSE(BringProcessWindowToFront(::getpid()));
}

// A toolkit program (hidden helper windows of the toolkit, one shown frame) lies behind a window
// of another process that has the focus; the program's window is to be brought forward.
class ToolkitWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    display_ = XOpenDisplay(nullptr);
    if (!display_) GTEST_SKIP() << "needs a display (run under xvfb-run)";
    // Windows of other processes may vanish while we look at them.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  }
  void TearDown() override {
    End(program_);
    End(windowManager_);
    if (display_) XCloseDisplay(display_);
  }

  static void End(std::unique_ptr<ChildProcess>& process) {
    if (!process) return;
    ::kill(static_cast<pid_t>(process->id()), SIGTERM);
    process->WaitForExit();
    process.reset();
  }

  template <typename Condition>
  static bool WaitFor(Condition condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }

  Atom Intern(const char* name) { return XInternAtom(display_, name, False); }

  std::vector<unsigned long> Property(Window window, const char* name, Atom type) {
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> items;
    if (XGetWindowProperty(display_, window, Intern(name), 0, 1024, False, type, &actualType,
                           &format, &count, &remaining, &data) == Success &&
        data && format == 32) {
      const auto* values = reinterpret_cast<const unsigned long*>(data);
      items.assign(values, values + count);
    }
    if (data) XFree(data);
    return items;
  }

  Window Root() { return DefaultRootWindow(display_); }

  std::vector<Window> Children(Window window) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    std::vector<Window> result;
    if (XQueryTree(display_, window, &root, &parent, &children, &count) && children) {
      result.assign(children, children + count);
      XFree(children);
    }
    return result;
  }

  // The windows of `pid` anywhere in the tree (a window manager puts them in frames of its own).
  struct ProcessWindows {
    std::vector<Window> shown;
    std::vector<Window> hidden;
  };
  void Collect(Window window, long pid, ProcessWindows* found) {
    const auto owner = Property(window, "_NET_WM_PID", XA_CARDINAL);
    XWindowAttributes attributes;
    if (!owner.empty() && static_cast<long>(owner.front()) == pid &&
        XGetWindowAttributes(display_, window, &attributes)) {
      (attributes.map_state == IsViewable ? found->shown : found->hidden).push_back(window);
    }
    for (Window child : Children(window)) Collect(child, pid, found);
  }
  ProcessWindows WindowsOfProgram() {
    ProcessWindows found;
    Collect(Root(), static_cast<long>(program_->id()), &found);
    return found;
  }

  void StartWindowManager() {
    const char* manager = "/usr/bin/openbox";
    if (!std::filesystem::exists(manager))
      GTEST_SKIP() << "needs openbox (scripts/ensure-packages.sh)";
    std::string error;
    windowManager_ = StartProcess(manager, {"--sm-disable"}, &error);
    ASSERT_TRUE(windowManager_) << error;
    ASSERT_TRUE(WaitFor([&] {
      return !Property(Root(), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW).empty();
    })) << "the window manager did not start";
  }

  // Starts the toolkit program, waits for its frame, and puts a focused window of another
  // process over it.
  void StartProgramBehindAnotherWindow() {
    std::string error;
    program_ = StartProcess(RIGWRIGHT_TOOLKIT_FRAME, {}, &error);
    ASSERT_TRUE(program_) << error;
    ASSERT_TRUE(WaitFor([&] { return !WindowsOfProgram().shown.empty(); }))
        << "the toolkit program showed no window";
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // let the toolkit settle
    const ProcessWindows windows = WindowsOfProgram();
    ASSERT_EQ(windows.shown.size(), 1u);
    ASSERT_FALSE(windows.hidden.empty()) << "the toolkit keeps hidden windows of its own";
    frame_ = windows.shown.front();
    hidden_ = windows.hidden;

    long otherProcess = 999999;
    cover_ = XCreateSimpleWindow(display_, Root(), 0, 0, 600, 400, 0, 0, 0);
    XChangeProperty(display_, cover_, Intern("_NET_WM_PID"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&otherProcess), 1);
    XMapRaised(display_, cover_);
    XSync(display_, False);
  }

  void ExpectHiddenWindowsStayHidden() {
    const ProcessWindows windows = WindowsOfProgram();
    EXPECT_EQ(windows.shown, std::vector<Window>{frame_}) << "no window of the program was mapped";
    for (Window window : hidden_) {
      const bool stillHidden =
          std::find(windows.hidden.begin(), windows.hidden.end(), window) != windows.hidden.end();
      EXPECT_TRUE(stillHidden) << "hidden window " << window << " was mapped";
    }
  }

  Window ActiveWindow() {
    const auto active = Property(Root(), "_NET_ACTIVE_WINDOW", XA_WINDOW);
    return active.empty() ? 0 : active.front();
  }

  Display* display_ = nullptr;
  std::unique_ptr<ChildProcess> windowManager_;
  std::unique_ptr<ChildProcess> program_;
  Window frame_ = 0;
  std::vector<Window> hidden_;
  Window cover_ = 0;
};

TEST_F(ToolkitWindowTest, WithoutAWindowManagerTheShownFrameIsRaisedAndFocused) {
  ASSERT_NO_FATAL_FAILURE(StartProgramBehindAnotherWindow());
  XSetInputFocus(display_, cover_, RevertToParent, CurrentTime);
  XSync(display_, False);

  EXPECT_TRUE(BringProcessWindowToFront(program_->id()));
  XSync(display_, False);

  Window focus = 0;
  int revert = 0;
  XGetInputFocus(display_, &focus, &revert);
  EXPECT_EQ(focus, frame_);
  const auto stacking = Children(Root());
  const auto position = [&](Window window) {
    return std::find(stacking.begin(), stacking.end(), window) - stacking.begin();
  };
  EXPECT_GT(position(frame_), position(cover_)) << "the frame is above the other window";
  ExpectHiddenWindowsStayHidden();
}

TEST_F(ToolkitWindowTest, UnderAWindowManagerTheShownFrameIsActivated) {
  ASSERT_NO_FATAL_FAILURE(StartWindowManager());
  if (IsSkipped()) return;
  ASSERT_NO_FATAL_FAILURE(StartProgramBehindAnotherWindow());
  ASSERT_TRUE(WaitFor([&] { return ActiveWindow() == cover_; }))
      << "the other window has the focus";

  EXPECT_TRUE(BringProcessWindowToFront(program_->id()));

  EXPECT_TRUE(WaitFor([&] { return ActiveWindow() == frame_; }))
      << "active: " << ActiveWindow() << ", frame: " << frame_;
  const auto stacking = Property(Root(), "_NET_CLIENT_LIST_STACKING", XA_WINDOW);
  const auto position = [&](Window window) {
    return std::find(stacking.begin(), stacking.end(), window) - stacking.begin();
  };
  EXPECT_GT(position(frame_), position(cover_)) << "the frame is above the other window";
  ExpectHiddenWindowsStayHidden();
}

}  // namespace
}  // namespace rigwright
