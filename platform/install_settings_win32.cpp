#include <windows.h>

#include "platform/install_settings.h"
#include "platform/text_win32.h"

namespace rigwright {
namespace {

constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Orvane\\Orvane Rigwright for Mastercam";

// Room for 1024 UTF-16 characters, of which the query may fill 1023 bytes: a value of up to 510
// characters and its terminating zero fits.
constexpr DWORD kValueChars = 1024;
constexpr DWORD kValueBytes = 1023;

// The "Directory" value of the open key as stored, or empty when it is missing, not a string,
// does not fit or does not end in its terminating zero.
std::wstring DirectoryValue(HKEY key) {
  wchar_t value[kValueChars] = {};
  DWORD type = REG_SZ;
  DWORD bytes = kValueBytes;
  if (::RegQueryValueExW(key, L"Directory", nullptr, &type, reinterpret_cast<BYTE*>(value),
                         &bytes) != ERROR_SUCCESS)
    return {};
  if (type != REG_SZ || bytes < sizeof(wchar_t) || bytes % sizeof(wchar_t) != 0) return {};
  const DWORD chars = bytes / sizeof(wchar_t);
  if (value[chars - 1] != L'\0') return {};  // what follows in the buffer was never written
  return std::wstring(value);                // up to the first zero
}

}  // namespace

const std::string_view kDefaultInstallFolder =
    "C:\\Program Files\\Orvane AS\\Orvane Rigwright for Mastercam\\";

std::string InstallFolder(std::string* source) {
  // The 64-bit view whatever the program's own width: the installer writes there.
  HKEY key = nullptr;
  std::wstring folder;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                      &key) == ERROR_SUCCESS) {
    folder = DirectoryValue(key);
    ::RegCloseKey(key);
  }
  const std::string record = "the registry value Directory of HKLM\\" + Utf8FromUtf16(kSettingsKey);
  if (folder.empty()) {
    if (source) *source = "the default: no usable " + record.substr(4);
    return std::string(kDefaultInstallFolder);
  }
  if (source) *source = record;
  return Utf8FromUtf16(folder);
}

}  // namespace rigwright
