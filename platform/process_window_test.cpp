#include "platform/process_window.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "common/testing/scoped_environment.h"

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

}  // namespace
}  // namespace rigwright
