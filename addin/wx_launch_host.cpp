#include "addin/wx_launch_host.h"

#include <wx/app.h>
#include <wx/event.h>

#include <cstdio>

#include "addin/wx_user_messages.h"
#include "hostapi/host_database.h"

namespace rigwright {

WxLaunchHost::WxLaunchHost() : events_(std::make_unique<wxEvtHandler>()) {}

WxLaunchHost::~WxLaunchHost() = default;

bool WxLaunchHost::IsMetric() { return ::IsMetric(); }

std::shared_ptr<StlRequestHandler> WxLaunchHost::MakeHandler() { return MakeStlRequestHandler(); }

void WxLaunchHost::Tell(const std::string& text, MessageIcon icon) {
  // A host without a running toolkit has no windows to put a message box over.
  if (!wxTheApp) {
    std::fprintf(stderr, "Rigwright: %s\n", text.c_str());
    return;
  }
  WxUserMessages().Tell(text, icon);
}

void WxLaunchHost::TellLater(const std::string& text, MessageIcon icon) {
  if (!wxTheApp) {
    std::fprintf(stderr, "Rigwright: %s\n", text.c_str());
    return;
  }
  events_->CallAfter([this, text, icon] { Tell(text, icon); });
}

}  // namespace rigwright
