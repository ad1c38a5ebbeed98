#include "platform/user_folders.h"

#include <cstdlib>

namespace rigwright {
namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

}  // namespace

std::string AppDataFolder() {
  std::string folder = Environment("APPDATA");
  if (folder.empty()) folder = Environment("XDG_DATA_HOME");
  if (folder.empty()) {
    const std::string home = Environment("HOME");
    if (!home.empty()) folder = home + "/.local/share";
  }
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

std::string SimulatorMachineFolderPath() {
  const std::string appData = AppDataFolder();
  return appData.empty() ? std::string() : appData + "/Kelmora/MachineCfg/";
}

}  // namespace rigwright
