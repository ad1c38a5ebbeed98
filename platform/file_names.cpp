#include "platform/file_names.h"

#include <algorithm>

#include "common/path_text.h"

namespace rigwright {
namespace {

// The UTF-16 form of UTF-8 text; nullopt when the text is not UTF-8.
std::optional<std::u16string> Utf16FromStrictUtf8(std::string_view text) {
  std::u16string units;
  while (!text.empty()) {
    const std::size_t length = Utf8CharacterLength(text);
    if (length == 0) return std::nullopt;
    char32_t code = static_cast<unsigned char>(text[0]) & (length == 1 ? 0x7F : 0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) code = code << 6 | (text[i] & 0x3F);
    if (code < 0x10000) {
      units += static_cast<char16_t>(code);
    } else {
      units += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
      units += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    }
    text.remove_prefix(length);
  }
  return units;
}

}  // namespace

std::optional<std::string> WindowsFileNameKey(std::string_view path, std::string& problem) {
  std::string key;
  for (std::size_t start = 0; start <= path.size();) {
    const std::size_t end = std::min(path.find('/', start), path.size());
    std::optional<std::u16string> part = Utf16FromStrictUtf8(path.substr(start, end - start));
    if (!part) {
      problem = "the name is not UTF-8 text, which a file name on Windows must be";
      return std::nullopt;
    }
    while (!part->empty() && (part->back() == u'.' || part->back() == u' ')) part->pop_back();
    if (part->empty()) {
      problem = "a part of the name is only dots and spaces, which Windows drops";
      return std::nullopt;
    }
    if (start != 0) key += '/';
    key += Utf8FromUtf16(UpperCasedAsWindows(*part));
    start = end + 1;
  }
  return key;
}

bool SameFileName(std::string_view a, std::string_view b) {
  std::string problem;
  const std::optional<std::string> keyA = FileNameKey(a, problem);
  const std::optional<std::string> keyB = FileNameKey(b, problem);
  return keyA && keyB ? *keyA == *keyB : a == b;
}

}  // namespace rigwright
