#include "addin/entry_points.h"

#include <mutex>

#include "addin/addin_module.h"
#include "addin/editor_launch.h"
#include "addin/wx_launch_host.h"
#include "common/support_log.h"

namespace rigwright {
namespace {

// Everything the add-in keeps for one load. Made at the first run command; destroyed when the
// host unloads the add-in, the launcher (and with it the pipe link: thread ended, pipe closed)
// before the host view whose queued messages go with it.
struct AddinState {
  WxLaunchHost host;
  EditorLauncher launcher{host};
};

// Owned here rather than by a static object: how and whether it is destroyed depends on how the
// add-in is unloaded (see EndAddinState).
AddinState* state = nullptr;
std::mutex stateMutex;

AddinState& State() {
  std::lock_guard lock(stateMutex);  // made once, also against concurrent first calls
  if (!state) {
    OpenSupportLog("RigwrightAddin");  // before anything it could tell support about
    state = new AddinState;
  }
  return *state;
}

}  // namespace

void EndAddinState() {
  AddinState* ending;
  {
    std::lock_guard lock(stateMutex);
    ending = state;
    state = nullptr;
  }
  delete ending;
}

}  // namespace rigwright

RIGWRIGHT_ADDIN_EXPORT std::int32_t m_version(std::int32_t hostVersion) {
  return rigwright::AddinVersionFor(hostVersion);
}

RIGWRIGHT_ADDIN_EXPORT std::int32_t m_main() {
  try {
    if (rigwright::ReadyAddinToolkit()) rigwright::State().launcher.LaunchEditor();
  } catch (...) {
    // The host must go on whatever happened; the next command tries again.
  }
  return 0;
}

RIGWRIGHT_ADDIN_EXPORT std::int32_t m_run_rigwright() __attribute__((alias("m_main")));

RIGWRIGHT_ADDIN_EXPORT std::int32_t m_open() { return 0; }

RIGWRIGHT_ADDIN_EXPORT std::int32_t RibbonGroupRigwright() __attribute__((alias("m_open")));

RIGWRIGHT_ADDIN_EXPORT std::int32_t RibbonGroupRigwrightLauncher() { return 0; }
