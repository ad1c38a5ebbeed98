// Text at the Win32 boundary: the system speaks UTF-16, Rigwright UTF-8. Used by the
// `*_win32.cpp` files only.
#pragma once

#include <string>
#include <string_view>

namespace rigwright {

std::wstring Utf16FromUtf8(std::string_view text);
std::string Utf8FromUtf16(std::wstring_view text);

// What the system says about the error code `code` (from GetLastError or a registry call), one
// line, followed by the code: "Access is denied (error 5)".
std::string Win32ErrorText(unsigned long code);

}  // namespace rigwright
