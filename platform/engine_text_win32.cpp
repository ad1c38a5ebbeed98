#include <windows.h>

#include "platform/engine_text.h"
#include "platform/text_win32.h"

namespace rigwright {
namespace {

std::optional<std::string> ShortForm(std::string_view utf8Path) {
  const std::wstring path = Utf16FromUtf8(utf8Path);
  const DWORD needed = GetShortPathNameW(path.c_str(), nullptr, 0);
  if (needed == 0) return std::nullopt;  // it does not exist, or cannot be reached
  std::wstring shortPath(needed, L'\0');
  const DWORD length = GetShortPathNameW(path.c_str(), shortPath.data(), needed);
  if (length == 0 || length >= needed) return std::nullopt;
  shortPath.resize(length);
  return Utf8FromUtf16(shortPath);
}

// The text in the system code page. `exactOnly`: nothing when a character has no exact
// counterpart there; a best-fit stand-in would name another file or none.
std::optional<std::string> InCodePage(std::string_view utf8, bool exactOnly) {
  if (GetACP() == CP_UTF8) return std::string(utf8);  // the system's 8-bit texts are UTF-8
  const std::wstring wide = Utf16FromUtf8(utf8);
  if (wide.empty()) return std::string();
  const int wideLength = static_cast<int>(wide.size());
  BOOL usedDefault = FALSE;
  const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength,
                                         nullptr, 0, "?", &usedDefault);
  if (length <= 0 || (exactOnly && usedDefault)) return std::nullopt;
  std::string text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, text.data(), length,
                      "?", &usedDefault);
  return text;
}

}  // namespace

const EngineTextForms& SystemEngineTextForms() {
  static const EngineTextForms forms{
      &ShortForm,
      [](std::string_view utf8) { return InCodePage(utf8, true); },
      [](std::string_view utf8) { return InCodePage(utf8, false).value_or(std::string()); },
  };
  return forms;
}

std::string Utf8FromEnginePath(std::string_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const bool validUtf8 =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0) > 0;
  if (validUtf8 && GetFileAttributesW(Utf16FromUtf8(text).c_str()) != INVALID_FILE_ATTRIBUTES) {
    return std::string(text);
  }
  const int wideLength = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (wideLength <= 0) return std::string(text);
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), wideLength);
  return Utf8FromUtf16(wide);
}

}  // namespace rigwright
