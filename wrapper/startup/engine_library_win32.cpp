#include <windows.h>

#include <algorithm>

#include "platform/install_settings.h"
#include "platform/text_win32.h"
#include "wrapper/startup/engine_binding.h"

namespace rigwright {
namespace {

constexpr std::string_view kEngineLibraryName = "MavriloDll.dll";

}  // namespace

std::vector<std::string> PrepareEngineSearch(std::string_view installFolder) {
  // The search for a DLL loaded by name then takes the install folder right after the program's
  // own folder, before the system's folders.
  if (!installFolder.empty()) {
    std::wstring folder = Utf16FromUtf8(installFolder);
    std::replace(folder.begin(), folder.end(), L'/', L'\\');
    ::SetDllDirectoryW(folder.c_str());
  }
  const std::string name(kEngineLibraryName);
  return {name, std::string(kDefaultInstallFolder) + name};
}

}  // namespace rigwright
