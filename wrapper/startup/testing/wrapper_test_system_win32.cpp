#include <windows.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "platform/testing/registry_snapshot_win32.h"
#include "platform/text_win32.h"
#include "platform/unique_handle_win32.h"
#include "wrapper/startup/testing/wrapper_test_system.h"

namespace rigwright {
namespace {

constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Orvane\\Orvane Rigwright for Mastercam";
constexpr DWORD kRunLimitMs = 120000;

// The install folder's value, opened for reading and writing in the 64-bit view.
HKEY OpenSettings() {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

void WriteDirectory(const std::wstring& folder) {
  if (const HKEY key = OpenSettings()) {
    ::RegSetValueExW(key, L"Directory", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                     static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
  }
}

std::wstring Quoted(const std::string& text) { return L"\"" + Utf16FromUtf8(text) + L"\""; }

}  // namespace

WrapperTestSystem::WrapperTestSystem(const TestFolder& root, ScopedEnvironment& environment)
    : root_(root), environment_(environment) {
  // A copy of its own, in a folder whose name has a blank: a DLL beside the program would be found
  // before the install folder's, and the program's name in the command line is then quoted.
  const std::filesystem::path folder = root_.path() / "program files";
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(SystemPath(RIGWRIGHT_DEV_INSTALL_DIR, "\\RigwrightWrapper.exe"),
                             folder / "RigwrightWrapper.exe");
  program_ = Utf8FromPath((folder / "RigwrightWrapper.exe").make_preferred());
}

WrapperTestSystem::~WrapperTestSystem() { savedSettings_.reset(); }

bool WrapperTestSystem::ToolkitNeedsDisplay() { return false; }

bool WrapperTestSystem::HasDisplay() { return true; }

std::string WrapperTestSystem::SystemPath(const std::string& buildPath, const std::string& ending) {
  std::string path = buildPath + ending;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path.starts_with("\\") ? "Z:" + path : path;
}

char WrapperTestSystem::Separator() { return '\\'; }

void WrapperTestSystem::SetTemporaryFolder(const std::string& folder) {
  // GetTempPathW takes TMP first, then TEMP.
  environment_.Set("TMP", folder);
  environment_.Set("TEMP", folder);
}

std::string WrapperTestSystem::UnusableTemporaryFolder() const {
  // GetTempPathW gives the folder whether it exists or not.
  return Utf8FromPath((root_.path() / "missing").make_preferred()) + '\\';
}

void WrapperTestSystem::SetInstallFolder(const std::string& folder) {
  if (!savedSettings_) savedSettings_ = std::make_shared<testing::RegistrySnapshot>(kSettingsKey);
  WriteDirectory(Utf16FromUtf8(folder));
}

int WrapperTestSystem::RunWrapper(const std::vector<std::string>& options, std::string* errors) {
  // A file of its own for each run: Wine's helper processes may hold the last one open a while.
  static int runs = 0;
  const std::filesystem::path errorsFile = root_.path() / ("stderr-" + std::to_string(++runs));
  SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
  UniqueHandle errorsHandle(::CreateFileW(
      errorsFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!errorsHandle.valid()) {
    *errors = "cannot create " + Utf8FromPath(errorsFile);
    return -1;
  }
  std::wstring commandLine = Quoted(program_);
  for (const std::string& option : options) commandLine += L" " + Utf16FromUtf8(option);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdError = errorsHandle.get();
  startup.hStdOutput = errorsHandle.get();
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(Utf16FromUtf8(program_).c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                        0, nullptr, nullptr, &startup, &started)) {
    *errors = "cannot start " + program_ + ": " + Win32ErrorText(::GetLastError());
    return -1;
  }
  errorsHandle.Reset(nullptr);
  const UniqueHandle process(started.hProcess);
  ::CloseHandle(started.hThread);
  DWORD exitCode = 0;
  if (::WaitForSingleObject(process.get(), kRunLimitMs) != WAIT_OBJECT_0) {
    ::TerminateProcess(process.get(), 1);
    ::WaitForSingleObject(process.get(), INFINITE);
    exitCode = static_cast<DWORD>(-1);
  } else if (!::GetExitCodeProcess(process.get(), &exitCode)) {
    exitCode = static_cast<DWORD>(-1);
  }
  std::ifstream in(errorsFile, std::ios::binary);
  *errors = std::string(std::istreambuf_iterator<char>(in), {});
  return static_cast<int>(exitCode);
}

}  // namespace rigwright
