#include <cstdlib>

#include "platform/install_settings.h"

namespace rigwright {

std::string InstallSettingsPath() {
  const char* dirs = std::getenv("XDG_CONFIG_DIRS");
  std::string first = dirs ? std::string(dirs).substr(0, std::string(dirs).find(':')) : "";
  if (first.empty()) first = "/etc/xdg";
  if (first.back() != '/') first += '/';
  return first + "Orvane/Orvane Rigwright for Mastercam.conf";
}

}  // namespace rigwright
