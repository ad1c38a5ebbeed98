#include <windows.h>

#include <stdlib.h>

#include "platform/environment.h"
#include "platform/text_win32.h"

namespace rigwright {

std::optional<std::string> EnvironmentValue(const std::string& name) {
  const std::wstring wideName = Utf16FromUtf8(name);
  std::wstring value(MAX_PATH, L'\0');
  for (;;) {
    ::SetLastError(ERROR_SUCCESS);
    const DWORD length =
        ::GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) {
      if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    if (length < value.size()) {
      value.resize(length);
      return Utf8FromUtf16(value);
    }
    value.resize(length);  // the size needed, its terminating zero included
  }
}

void SetEnvironmentValue(const std::string& name, const char* value) {
  // _wputenv_s sets the system's copy (GetEnvironmentVariableW, EnvironmentValue, the programs
  // started later) in UTF-16; the C runtime's 8-bit copy (getenv) need not follow, so Rigwright
  // reads through EnvironmentValue. An empty value removes the variable.
  ::_wputenv_s(Utf16FromUtf8(name).c_str(), value ? Utf16FromUtf8(value).c_str() : L"");
}

}  // namespace rigwright
