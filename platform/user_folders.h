// Folders that belong to the user running Rigwright.
#pragma once

#include <string>

namespace rigwright {

// The user's application-data folder as UTF-8 text without a trailing separator: APPDATA when it
// is set and not empty; elsewhere than on Windows then XDG_DATA_HOME, else $HOME/.local/share.
// Empty when none is known.
std::string AppDataFolder();

// Kelmora's folder of installed machines inside AppDataFolder(), with a trailing separator.
std::string SimulatorMachineFolderPath();

}  // namespace rigwright
