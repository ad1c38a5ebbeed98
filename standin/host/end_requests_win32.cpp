#include <wx/app.h>
#include <wx/window.h>
// After the toolkit's headers, which bring windows.h their way.
#include <windows.h>

#include "standin/host/end_requests.h"

namespace rigwright::standin {
namespace {

// How long the end of the process waits for the window: Windows itself ends the process five
// seconds after the console was closed.
constexpr DWORD kWindowCloseWaitMs = 4000;

// Raised once the top window has gone (and the add-in with it); never reset.
HANDLE WindowClosed() {
  static const HANDLE closed = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return closed;
}

// Runs on a thread of the system's; the window is closed on the UI thread.
BOOL WINAPI OnConsoleEvent(DWORD kind) {
  if (!wxTheApp) return FALSE;
  wxTheApp->CallAfter([] {
    wxWindow* top = wxTheApp->GetTopWindow();
    if (!top) {
      ::SetEvent(WindowClosed());
      return;
    }
    top->Bind(wxEVT_DESTROY, [top](wxWindowDestroyEvent& event) {
      event.Skip();
      if (event.GetEventObject() == top && WindowClosed()) ::SetEvent(WindowClosed());
    });
    top->Close(true);
  });
  // Ctrl-C and Ctrl-Break leave the end to us; for the others Windows ends the process as soon
  // as this returns, which would cut the add-in's clean-up short.
  const bool endsOnReturn =
      kind == CTRL_CLOSE_EVENT || kind == CTRL_LOGOFF_EVENT || kind == CTRL_SHUTDOWN_EVENT;
  if (endsOnReturn && WindowClosed()) ::WaitForSingleObject(WindowClosed(), kWindowCloseWaitMs);
  return TRUE;
}

}  // namespace

void CloseTopWindowOnEndRequests(wxApp&) { ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

}  // namespace rigwright::standin
