// Windows: the top-level windows in their order on the screen, topmost first. Only a window the
// program shows counts: toolkits keep hidden top-level windows of their own, and tool windows
// (floating palettes) are not what the user knows as the program.
#include <windows.h>

#include "platform/process_window.h"

namespace rigwright {
namespace {

struct Search {
  DWORD processId;
  HWND found = nullptr;
};

bool IsProgramWindow(HWND window) {
  return ::IsWindowVisible(window) &&
         (::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) == 0;
}

BOOL CALLBACK FirstWindowOf(HWND window, LPARAM searchAddress) {
  auto* search = reinterpret_cast<Search*>(searchAddress);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsProgramWindow(window)) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

bool BringProcessWindowToFront(std::int64_t processId) {
  if (processId <= 0 || processId > MAXDWORD) return false;
  Search search{static_cast<DWORD>(processId)};
  ::EnumWindows(FirstWindowOf, reinterpret_cast<LPARAM>(&search));
  if (!search.found) return false;
  if (::IsIconic(search.found)) ::ShowWindow(search.found, SW_RESTORE);
  // The system may refuse to hand over the foreground; nothing more can be done about that.
  ::SetForegroundWindow(search.found);
  return true;
}

}  // namespace rigwright
