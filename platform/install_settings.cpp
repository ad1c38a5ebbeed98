#include "platform/install_settings.h"

#include <fstream>
#include <iterator>

namespace rigwright {

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

std::string InstallFolder() {
  std::ifstream in(InstallSettingsPath(), std::ios::binary);
  if (in) {
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (auto folder = DirectoryFromSettings(text)) return *folder;
  }
  return std::string(kDefaultInstallFolder);
}

}  // namespace rigwright
