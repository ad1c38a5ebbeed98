// The system's progress dialog belongs to a thread the toolkit started for it: it is found among
// the process's windows by its title, and told to press Cancel by message, as a click would.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include "platform/text_win32.h"
#include "wrapper/ui/testing/progress_window.h"

namespace rigwright::testing {
namespace {

struct Search {
  std::wstring title;
  HWND found = nullptr;
};

// A visible top-level window of this process, outside this thread, with the title.
HWND FindSystemProgressWindow(const wxString& title) {
  Search search{Utf16FromUtf8(title.utf8_string())};
  ::EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto* search = reinterpret_cast<Search*>(data);
        DWORD process = 0;
        const DWORD thread = ::GetWindowThreadProcessId(window, &process);
        if (process != ::GetCurrentProcessId() || thread == ::GetCurrentThreadId() ||
            !::IsWindowVisible(window)) {
          return TRUE;
        }
        wchar_t text[256] = {};
        ::GetWindowTextW(window, text, 256);
        if (search->title != text) return TRUE;
        search->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

std::optional<wxRect> ProgressWindowArea(const wxString& title) {
  const HWND window = FindSystemProgressWindow(title);
  RECT area{};
  if (!window || !::GetWindowRect(window, &area)) return std::nullopt;
  return wxRect(area.left, area.top, area.right - area.left, area.bottom - area.top);
}

bool PressProgressCancel(const wxString& title) {
  const HWND window = FindSystemProgressWindow(title);
  return window && ::PostMessageW(window, TDM_CLICK_BUTTON, IDCANCEL, 0);
}

}  // namespace rigwright::testing
