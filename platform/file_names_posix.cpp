#include <locale.h>
#include <wctype.h>

#include "platform/file_names.h"

namespace rigwright {

std::optional<std::string> FileNameKey(std::string_view path, std::string&) {
  return std::string(path);
}

std::u16string UpperCasedAsWindows(std::u16string_view text) {
  // Kept for the life of the process; without it (no C.UTF-8 locale) only ASCII letters change.
  static const locale_t unicode = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
  std::u16string upper(text);
  for (char16_t& unit : upper) {
    if (unit >= u'a' && unit <= u'z') {
      unit = static_cast<char16_t>(unit - u'a' + u'A');
    } else if (unicode && unit >= 0x80 && (unit < 0xD800 || unit > 0xDFFF)) {
      const wint_t mapped = ::towupper_l(unit, unicode);
      if (mapped < 0xD800 || (mapped > 0xDFFF && mapped <= 0xFFFF)) {
        unit = static_cast<char16_t>(mapped);
      }
    }
  }
  return upper;
}

}  // namespace rigwright
