#include <windows.h>

#include "addin/testing/test_install.h"
#include <memory>

#include "platform/testing/registry_snapshot_win32.h"
#include "platform/text_win32.h"

namespace rigwright::testing {

const char TestInstall::kWrapperFile[] = "RigwrightWrapper.exe";

namespace {

constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Orvane\\Orvane Rigwright for Mastercam";

// What the settings held before the test pointed them at its install (one test install at a
// time: the tests using it share the key and never run side by side).
std::unique_ptr<RegistrySnapshot> savedSettings;

}  // namespace

// As the installer records it: the folder with its final backslash, in the 64-bit view.
void TestInstall::PointSettingsAtInstall() {
  savedSettings = std::make_unique<RegistrySnapshot>(kSettingsKey);
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0,
                        KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;
  const std::wstring value = Utf16FromUtf8(install);
  ::RegSetValueExW(key, L"Directory", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(key);
}

void TestInstall::RestoreSettings() { savedSettings.reset(); }

// Both the process's environment, which started programs inherit and the platform layer reads,
// and the C library's copy.
void TestInstall::ChangeEnvironment(const std::string& name, const char* value) {
  const std::wstring wideName = Utf16FromUtf8(name);
  const std::wstring wideValue = value ? Utf16FromUtf8(value) : std::wstring();
  ::SetEnvironmentVariableW(wideName.c_str(), value ? wideValue.c_str() : nullptr);
  ::_wputenv_s(wideName.c_str(), wideValue.c_str());
}

// The recorder gets one command line: the path unquoted, the option pieces after single spaces.
std::vector<std::string> TestInstall::Expected(const std::string& machineFolder,
                                               const std::string& unit,
                                               const std::string& pipeName) const {
  return {wrapperPath + " --language=\"en-US\" --machineDirectory=\"" + machineFolder +
          "\" --defaultUnit=" + unit + " --pipeName=\"" + pipeName + "\""};
}

}  // namespace rigwright::testing
