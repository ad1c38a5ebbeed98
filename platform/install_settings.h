// Where Rigwright is installed. The installer records the folder in a system settings file; a
// machine without one uses the default folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rigwright {

inline constexpr std::string_view kDefaultInstallFolder =
    "/opt/Orvane AS/Orvane Rigwright for Mastercam/";

// The system settings file: "<first entry of XDG_CONFIG_DIRS, or /etc/xdg>/Orvane/Orvane
// Rigwright for Mastercam.conf".
std::string InstallSettingsPath();

// The value of the first "Directory=" line of a settings file's text, as stored. None when there
// is no such line or its value is empty.
std::optional<std::string> DirectoryFromSettings(std::string_view settingsText);

// The install folder from the settings file; the default install folder when the file cannot be
// read or names none.
std::string InstallFolder();

}  // namespace rigwright
