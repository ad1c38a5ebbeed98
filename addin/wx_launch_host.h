// The launch's view of the host process: the host's unit system, the request handlers, and
// message boxes on the host's UI thread.
#pragma once

#include <memory>

#include "addin/editor_launch.h"

class wxEvtHandler;

namespace rigwright {

class WxLaunchHost final : public LaunchHost {
 public:
  WxLaunchHost();
  // UI thread. Messages still waiting to be shown go with it, so no queued call into the add-in
  // outlives the add-in's code.
  ~WxLaunchHost() override;

  bool IsMetric() override;
  std::shared_ptr<StlRequestHandler> MakeHandler() override;
  void Tell(const std::string& text, MessageIcon icon) override;
  void TellLater(const std::string& text, MessageIcon icon) override;

 private:
  std::unique_ptr<wxEvtHandler> events_;  // carries TellLater over to the UI thread
};

}  // namespace rigwright
