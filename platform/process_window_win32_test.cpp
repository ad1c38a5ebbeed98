#include <windows.h>
// after windows.h
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "common/testing/test_folder.h"
#include "platform/child_process.h"
#include "platform/process_window.h"
#include "platform/testing/peer_win32.h"

namespace rigwright {
namespace {

std::wstring TitleOf(HWND window) {
  wchar_t title[64] = {};
  ::GetWindowTextW(window, title, 64);
  return title;
}

struct Search {
  DWORD processId;
  const wchar_t* title;
  HWND found = nullptr;
};

BOOL CALLBACK FindByTitle(HWND window, LPARAM searchAddress) {
  auto* search = reinterpret_cast<Search*>(searchAddress);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || TitleOf(window) != search->title) return TRUE;
  search->found = window;
  return FALSE;
}

HWND WindowOf(DWORD processId, const wchar_t* title) {
  Search search{processId, title};
  ::EnumWindows(FindByTitle, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The peer with its three windows (main, tool, hidden), until the test ends.
class ProcessWindowWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    // Wine draws windows only when its session began with a display.
    HWND probe = ::CreateWindowExW(0, L"STATIC", L"probe", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                   nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!probe) GTEST_SKIP() << "no display to make windows on";
    ::DestroyWindow(probe);
    std::string error;
    peer_ = StartProcess(PeerProgram(), {"windows", (dir_.path() / "gate").string()}, &error);
    ASSERT_TRUE(peer_) << error;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!WindowOf(id(), L"peer hidden") && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(WindowOf(id(), L"peer hidden")) << "the peer made no windows";
  }
  void TearDown() override {
    if (!peer_) return;
    dir_.Write("gate", "");
    peer_->WaitForExit();
  }

  DWORD id() const { return static_cast<DWORD>(peer_->id()); }

  TestFolder dir_;
  std::unique_ptr<ChildProcess> peer_;
};

// One test, so that no other test of the program competes for the foreground meanwhile.
TEST_F(ProcessWindowWin32Test, TheShownWindowComesForwardNotAToolOrHiddenOneAndIsRestored) {
  ASSERT_TRUE(BringProcessWindowToFront(id()));
  // The window's thread carries out the activation when it next looks at its messages.
  const auto activated = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (TitleOf(::GetForegroundWindow()) != L"peer main" &&
         std::chrono::steady_clock::now() < activated) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(TitleOf(::GetForegroundWindow()), L"peer main");

  HWND main = WindowOf(id(), L"peer main");
  ASSERT_TRUE(main);
  ::ShowWindow(main, SW_MINIMIZE);
  ASSERT_TRUE(::IsIconic(main));
  ASSERT_TRUE(BringProcessWindowToFront(id()));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (::IsIconic(main) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_FALSE(::IsIconic(main));
}

TEST(ProcessWindowWin32NoWindowTest, AProcessWithoutAShownWindowIsLeftAlone) {
  EXPECT_FALSE(BringProcessWindowToFront(::GetCurrentProcessId())) << "this test shows none";
  EXPECT_FALSE(BringProcessWindowToFront(0));
  EXPECT_FALSE(BringProcessWindowToFront(-1));
}

}  // namespace
}  // namespace rigwright
