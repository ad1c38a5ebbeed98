#include <wx/app.h>
#include <wx/window.h>

#include <csignal>

#include "standin/host/end_requests.h"

namespace rigwright::standin {
namespace {

void CloseTopWindow(int) {
  if (wxWindow* top = wxTheApp->GetTopWindow()) top->Close(true);
}

}  // namespace

void CloseTopWindowOnEndRequests(wxApp& app) {
  app.SetSignalHandler(SIGTERM, CloseTopWindow);
  app.SetSignalHandler(SIGINT, CloseTopWindow);
}

}  // namespace rigwright::standin
