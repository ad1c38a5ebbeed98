#include "platform/text_win32.h"

#include <windows.h>

#include <climits>

#include "common/path_text.h"

namespace rigwright {

std::wstring Utf16FromUtf8(std::string_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int size = static_cast<int>(text.size());
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
  return wide;
}

std::string Utf8FromUtf16(std::wstring_view text) {
  // One conversion for every system: an unpaired surrogate, which file names may hold, becomes
  // U+FFFD as the system's own conversion would make it.
  return Utf8FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()),
                                           text.size()));
}

std::string Win32ErrorText(unsigned long code) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring message(buffer ? buffer : L"", length);
  if (buffer) ::LocalFree(buffer);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L' ' || message.back() == L'.'))
    message.pop_back();
  if (message.empty()) return "error " + std::to_string(code);
  return Utf8FromUtf16(message) + " (error " + std::to_string(code) + ")";
}

}  // namespace rigwright
