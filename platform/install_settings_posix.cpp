#include "platform/install_settings_posix.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/install_settings.h"

namespace rigwright {

const std::string_view kDefaultInstallFolder = "/opt/Orvane AS/Orvane Rigwright for Mastercam/";

std::string InstallSettingsPath() {
  const char* dirs = std::getenv("XDG_CONFIG_DIRS");
  std::string first = dirs ? std::string(dirs).substr(0, std::string(dirs).find(':')) : "";
  if (first.empty()) first = "/etc/xdg";
  if (first.back() != '/') first += '/';
  return first + "Orvane/Orvane Rigwright for Mastercam.conf";
}

std::optional<std::string> DirectoryFromSettings(std::string_view settingsText) {
  constexpr std::string_view kKey = "Directory=";
  while (!settingsText.empty()) {
    const std::size_t end = settingsText.find('\n');
    std::string_view line = settingsText.substr(0, end);
    settingsText =
        end == std::string_view::npos ? std::string_view() : settingsText.substr(end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (!line.starts_with(kKey)) continue;
    line.remove_prefix(kKey.size());
    if (line.empty()) return std::nullopt;
    return std::string(line);
  }
  return std::nullopt;
}

std::string InstallFolder(std::string* source) {
  const std::string settings = InstallSettingsPath();
  std::ifstream in(settings, std::ios::binary);
  if (in) {
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (auto folder = DirectoryFromSettings(text)) {
      if (source) *source = "the Directory line of " + settings;
      return *folder;
    }
  }
  if (source) *source = "the default: no Directory line in " + settings;
  return std::string(kDefaultInstallFolder);
}

}  // namespace rigwright
