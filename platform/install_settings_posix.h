// The system settings file in which the installer records the install folder where there is no
// registry.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rigwright {

// The system settings file: "<first entry of XDG_CONFIG_DIRS, or /etc/xdg>/Orvane/Orvane
// Rigwright for Mastercam.conf".
std::string InstallSettingsPath();

// The value of the first "Directory=" line of a settings file's text, as stored. None when there
// is no such line or its value is empty.
std::optional<std::string> DirectoryFromSettings(std::string_view settingsText);

}  // namespace rigwright
