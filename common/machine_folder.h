// Which machine library folder the editor works in. The maker's suite keeps a machine library
// per yearly release; when one of those holds machines it is used in place, newest first, and
// otherwise Rigwright's own per-user folder is.
#pragma once

#include <string>
#include <string_view>

namespace rigwright {

// The machine library folder for the user whose application-data folder is `appDataFolder`
// (no trailing separator). Tries "<appData>/Orvane 2026/Quennet/MachineCfg/" down to 2022 and
// takes the first that holds machine files; else "<appData>/Kelmora/Rigwright/", creating its
// last level when missing (a failure is ignored: the path is returned all the same). The result
// ends in '/'. Empty when `appDataFolder` is empty: there is no user folder to choose from.
std::string FindMachineFolder(std::string_view appDataFolder);

// True when `path` (UTF-8) exists and is a folder; any error while looking gives false.
bool IsExistingFolder(std::string_view path);

// True when `folder` (UTF-8) directly holds a regular file whose extension is ".mcfg" in any
// ASCII case; any error while listing gives false.
bool HasMachineFiles(std::string_view folder);

}  // namespace rigwright
