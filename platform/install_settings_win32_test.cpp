#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "platform/install_settings.h"
#include "platform/testing/registry_snapshot_win32.h"
#include "platform/temporary_folder.h"
#include "platform/user_folders.h"

namespace rigwright {
namespace {

constexpr wchar_t kKey[] = L"HKLM\\SOFTWARE\\Orvane\\Orvane Rigwright for Mastercam";
constexpr std::string_view kDefault =
    "C:\\Program Files\\Orvane AS\\Orvane Rigwright for Mastercam\\";

// Runs the system's own registry tool, as an installer or an administrator would, and gives its
// exit code. The 64-bit view is named explicitly.
DWORD Reg(const std::wstring& arguments) {
  std::wstring command = L"reg.exe " + arguments + L" /reg:64 /f";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process))
    return ::GetLastError();
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return code;
}

void DeleteKey() { Reg(L"delete \"" + std::wstring(kKey) + L"\""); }

DWORD SetDirectory(const std::wstring& type, const std::wstring& data) {
  return Reg(L"add \"" + std::wstring(kKey) + L"\" /v Directory /t " + type + L" /d \"" + data +
             L"\"");
}

// A REG_SZ value whose stored bytes lack the terminating zero: reg.exe always writes one, and the
// system adds it when the character after the given bytes is a zero, so one is left out that is
// not.
void SetUnterminatedDirectory(const std::wstring& text) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey + 5, 0, nullptr, 0,
                              KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(
      ::RegSetValueExW(key, L"Directory", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                       static_cast<DWORD>((text.size() - 1) * sizeof(wchar_t))),
      ERROR_SUCCESS);
  ::RegCloseKey(key);
}

// One test for every case: they share the machine's registry key, so they must not run side by
// side.
TEST(InstallSettingsTest, OnlyAWellFormedRegistryStringNamesTheFolder) {
  const testing::RegistrySnapshot installedSettings(kKey + 5);
  EXPECT_EQ(kDefaultInstallFolder, kDefault);
  DeleteKey();
  EXPECT_EQ(InstallFolder(), kDefault) << "no key";

  ASSERT_EQ(Reg(L"add \"" + std::wstring(kKey) + L"\" /v Other /t REG_SZ /d x"), 0u);
  EXPECT_EQ(InstallFolder(), kDefault) << "no Directory value";

  // A trailing backslash before the closing quote is doubled for the command line.
  ASSERT_EQ(SetDirectory(L"REG_SZ", L"D:\\R\u00f8g w\u0159ight\\\\"), 0u);
  EXPECT_EQ(InstallFolder(), "D:\\R\xC3\xB8g w\xC5\x99ight\\") << "as stored, in UTF-8";

  ASSERT_EQ(SetDirectory(L"REG_SZ", L"D:\\no final separator"), 0u);
  EXPECT_EQ(InstallFolder(), "D:\\no final separator") << "used as stored";

  ASSERT_EQ(SetDirectory(L"REG_DWORD", L"7"), 0u);
  EXPECT_EQ(InstallFolder(), kDefault) << "not a string";

  ASSERT_EQ(SetDirectory(L"REG_SZ", L"D:\\" + std::wstring(506, L'x') + L"\\\\"), 0u);
  EXPECT_EQ(InstallFolder(), "D:\\" + std::string(506, 'x') + "\\") << "510 characters fit";
  ASSERT_EQ(SetDirectory(L"REG_SZ", L"D:\\" + std::wstring(507, L'x') + L"\\\\"), 0u);
  EXPECT_EQ(InstallFolder(), kDefault) << "511 characters are too long: never a cut-off folder";

  SetUnterminatedDirectory(L"D:\\unterminated\\X");
  EXPECT_EQ(InstallFolder(), kDefault) << "unterminated";

  ASSERT_EQ(SetDirectory(L"REG_SZ", L""), 0u);
  EXPECT_EQ(InstallFolder(), kDefault) << "empty";
  DeleteKey();
}

class UserFoldersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const wchar_t* name : {L"APPDATA", L"TMP", L"TEMP"}) {
      std::wstring value(32767, L'\0');
      const DWORD length = ::GetEnvironmentVariableW(name, value.data(), 32767);
      saved_.emplace_back(name, length ? value.substr(0, length) : L"", length != 0);
    }
  }
  void TearDown() override {
    for (const auto& [name, value, set] : saved_)
      ::SetEnvironmentVariableW(name, set ? value.c_str() : nullptr);
  }

 private:
  std::vector<std::tuple<const wchar_t*, std::wstring, bool>> saved_;
};

TEST_F(UserFoldersTest, TheApplicationDataFolderComesFromAppdataWithoutAFinalSeparator) {
  ASSERT_TRUE(::SetEnvironmentVariableW(L"APPDATA", L"C:\\Users\\J\u00f8rn\\AppData\\Roaming\\"));
  EXPECT_EQ(AppDataFolder(), "C:\\Users\\J\xC3\xB8rn\\AppData\\Roaming");
  EXPECT_EQ(SimulatorMachineFolderPath(),
            "C:\\Users\\J\xC3\xB8rn\\AppData\\Roaming\\Kelmora\\MachineCfg\\");

  const std::wstring deep = L"C:\\" + std::wstring(300, L'd');
  ASSERT_TRUE(::SetEnvironmentVariableW(L"APPDATA", deep.c_str()));
  EXPECT_EQ(AppDataFolder(), "C:\\" + std::string(300, 'd')) << "never cut off";

  ASSERT_TRUE(::SetEnvironmentVariableW(L"APPDATA", nullptr));
  EXPECT_EQ(AppDataFolder(), "");
  EXPECT_EQ(SimulatorMachineFolderPath(), "");
}

TEST_F(UserFoldersTest, TheTemporaryFolderEndsInABackslash) {
  ASSERT_TRUE(::SetEnvironmentVariableW(L"TMP", L"C:\\t\u00e9mp"));
  EXPECT_EQ(TemporaryFolder(), "C:\\t\xC3\xA9mp\\");
  ASSERT_TRUE(::SetEnvironmentVariableW(L"TMP", nullptr));
  ASSERT_TRUE(::SetEnvironmentVariableW(L"TEMP", L"C:\\other\\"));
  EXPECT_EQ(TemporaryFolder(), "C:\\other\\");
}

}  // namespace
}  // namespace rigwright
