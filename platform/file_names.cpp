#include "platform/file_names.h"

#include <algorithm>

namespace rigwright {
namespace {

// How many continuation bytes follow the byte `lead` in UTF-8; 4 when it cannot begin a character.
std::size_t ContinuationBytes(unsigned char lead) {
  if (lead < 0x80) return 0;
  if (lead < 0xC2) return 4;  // a continuation byte, or the start of an overlong form
  if (lead < 0xE0) return 1;
  if (lead < 0xF0) return 2;
  return lead < 0xF5 ? 3 : 4;
}

// The UTF-16 form of UTF-8 text; nullopt when the text is not UTF-8 (a stray or missing
// continuation byte, an overlong form, an encoded surrogate, a code point past U+10FFFF).
std::optional<std::u16string> Utf16FromStrictUtf8(std::string_view text) {
  static constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};  // by continuation bytes
  std::u16string units;
  for (std::size_t at = 0; at < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    const std::size_t more = ContinuationBytes(lead);
    if (more > 3 || text.size() - at <= more) return std::nullopt;
    char32_t code = more == 0 ? lead : lead & (0x3F >> more);
    for (std::size_t next = at + 1; next <= at + more; ++next) {
      const unsigned char byte = static_cast<unsigned char>(text[next]);
      if ((byte & 0xC0) != 0x80) return std::nullopt;
      code = code << 6 | (byte & 0x3F);
    }
    if (code < kLeast[more] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return std::nullopt;
    }
    if (code < 0x10000) {
      units += static_cast<char16_t>(code);
    } else {
      units += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
      units += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    }
    at += more + 1;
  }
  return units;
}

// UTF-8 from UTF-16 that came from UTF-8 (so its surrogates are paired).
std::string Utf8FromUtf16Units(std::u16string_view units) {
  std::string text;
  for (std::size_t at = 0; at < units.size(); ++at) {
    char32_t code = units[at];
    if (code >= 0xD800 && code <= 0xDBFF && at + 1 < units.size() && units[at + 1] >= 0xDC00 &&
        units[at + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (units[++at] - 0xDC00);
    }
    if (code < 0x80) {
      text += static_cast<char>(code);
      continue;
    }
    const int more = code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
    text += static_cast<char>(((0xFF00 >> (more + 1)) & 0xFF) | (code >> (6 * more)));
    for (int shift = 6 * (more - 1); shift >= 0; shift -= 6) {
      text += static_cast<char>(0x80 | ((code >> shift) & 0x3F));
    }
  }
  return text;
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
    key += Utf8FromUtf16Units(UpperCasedAsWindows(*part));
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
