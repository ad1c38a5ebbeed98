#include <windows.h>

#include "addin/testing/shown_window.h"
#include "platform/text_win32.h"

namespace rigwright::testing {

bool IsWindowShown(const std::string& title) {
  const HWND window = ::FindWindowW(nullptr, Utf16FromUtf8(title).c_str());
  DWORD process = 0;
  if (window) ::GetWindowThreadProcessId(window, &process);
  return window && process == ::GetCurrentProcessId() && ::IsWindowVisible(window);
}

}  // namespace rigwright::testing
