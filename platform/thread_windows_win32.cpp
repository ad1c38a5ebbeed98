// Windows: what a modal dialog does to its owner, for every top-level window of the thread.
#include <windows.h>

#include <new>

#include "platform/thread_windows.h"

namespace rigwright {
namespace {

BOOL CALLBACK DisableOne(HWND window, LPARAM disabledAddress) {
  if (!::IsWindowEnabled(window)) return TRUE;  // already disabled by its toolkit, or for good
  auto* disabled = reinterpret_cast<std::vector<void*>*>(disabledAddress);
  try {
    disabled->push_back(window);
  } catch (const std::bad_alloc&) {
    return FALSE;  // one window fewer kept from input; never one left disabled for good
  }
  ::EnableWindow(window, FALSE);
  return TRUE;
}

}  // namespace

DisabledThreadWindows::DisabledThreadWindows() {
  ::EnumThreadWindows(::GetCurrentThreadId(), &DisableOne,
                      reinterpret_cast<LPARAM>(&windows_));
}

DisabledThreadWindows::~DisabledThreadWindows() {
  for (void* window : windows_) {
    const HWND handle = static_cast<HWND>(window);
    if (::IsWindow(handle)) ::EnableWindow(handle, TRUE);
  }
}

}  // namespace rigwright
