#include <windows.h>

#include "platform/text_win32.h"
#include "platform/user_folders.h"

namespace rigwright {
namespace {

// The whole value, however long: a cut-off folder would name another one.
std::wstring Environment(const wchar_t* name) {
  std::wstring value(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) return {};
    if (length < value.size()) {
      value.resize(length);
      return value;
    }
    value.resize(length);  // the size needed, its terminating zero included
  }
}

}  // namespace

std::string AppDataFolder() {
  std::wstring folder = Environment(L"APPDATA");
  while (folder.size() > 1 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  return Utf8FromUtf16(folder);
}

std::string SimulatorMachineFolderPath() {
  const std::string appData = AppDataFolder();
  return appData.empty() ? std::string() : appData + "\\Kelmora\\MachineCfg\\";
}

}  // namespace rigwright
