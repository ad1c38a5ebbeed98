// Where Rigwright is installed. The installer records the folder in the system's settings (the
// registry on Windows, a system settings file elsewhere); a machine without that record uses the
// default folder.
#pragma once

#include <string>
#include <string_view>

namespace rigwright {

// The folder the installer uses unless told otherwise, ending in the system's separator.
extern const std::string_view kDefaultInstallFolder;

// The install folder as the installer recorded it (used as stored); the default install folder
// when there is no usable record. `source`, when given, says where the folder came from (the
// record, named, or the default for want of one), for the support log.
std::string InstallFolder(std::string* source = nullptr);

}  // namespace rigwright
