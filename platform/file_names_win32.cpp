#include <windows.h>

#include <climits>

#include "platform/file_names.h"

namespace rigwright {

std::optional<std::string> FileNameKey(std::string_view path, std::string& problem) {
  return WindowsFileNameKey(path, problem);
}

std::u16string UpperCasedAsWindows(std::u16string_view text) {
  std::u16string upper(text);
  if (text.empty() || text.size() > INT_MAX) return upper;
  // Upper case over the invariant locale maps unit by unit, as the file systems' comparison
  // that ignores case does (CompareStringOrdinal); it keeps the length.
  const int size = static_cast<int>(text.size());
  const int mapped = ::LCMapStringEx(
      LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, reinterpret_cast<const wchar_t*>(text.data()), size,
      reinterpret_cast<wchar_t*>(upper.data()), size, nullptr, nullptr, 0);
  if (mapped != size) upper = text;
  return upper;
}

}  // namespace rigwright
