#include "addin/entry_points.h"

#include "addin/editor_launch.h"
#include "addin/wx_launch_host.h"

namespace rigwright {
namespace {

// Everything the add-in keeps for one load. Made at the first run command; destroyed when the
// host unloads the add-in, the launcher (and with it the pipe link: thread joined, socket
// removed) before the host view whose queued messages go with it.
struct AddinState {
  WxLaunchHost host;
  EditorLauncher launcher{host};
};

AddinState& State() {
  static AddinState state;  // made once, also against concurrent first calls
  return state;
}

}  // namespace
}  // namespace rigwright

RIGWRIGHT_ADDIN_EXPORT std::int32_t m_version(std::int32_t hostVersion) {
  return rigwright::AddinVersionFor(hostVersion);
}

RIGWRIGHT_ADDIN_EXPORT std::int32_t m_main() {
  try {
    rigwright::State().launcher.LaunchEditor();
  } catch (...) {
    // The host must go on whatever happened; the next command tries again.
  }
  return 0;
}

RIGWRIGHT_ADDIN_EXPORT std::int32_t m_run_rigwright() __attribute__((alias("m_main")));

RIGWRIGHT_ADDIN_EXPORT std::int32_t m_open() { return 0; }

RIGWRIGHT_ADDIN_EXPORT std::int32_t RibbonGroupRigwright() __attribute__((alias("m_open")));

RIGWRIGHT_ADDIN_EXPORT std::int32_t RibbonGroupRigwrightLauncher() { return 0; }
