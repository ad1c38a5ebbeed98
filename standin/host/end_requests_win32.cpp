#include <wx/app.h>
#include <wx/window.h>
// After the toolkit's headers, which bring windows.h their way.
#include <windows.h>

#include "standin/host/end_requests.h"

namespace rigwright::standin {
namespace {

// Runs on a thread of the system's; the window is closed on the UI thread.
BOOL WINAPI OnConsoleEvent(DWORD) {
  if (!wxTheApp) return FALSE;
  wxTheApp->CallAfter([] {
    if (wxWindow* top = wxTheApp->GetTopWindow()) top->Close(true);
  });
  return TRUE;
}

}  // namespace

void CloseTopWindowOnEndRequests(wxApp&) { ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

}  // namespace rigwright::standin
