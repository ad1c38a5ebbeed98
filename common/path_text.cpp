#include "common/path_text.h"

#include <algorithm>

namespace rigwright {
namespace {

constexpr std::string_view kSeparators = "\\/";

bool EndsWithSeparator(std::string_view text) {
  return !text.empty() && kSeparators.find(text.back()) != std::string_view::npos;
}

}  // namespace

std::string_view FileNameOf(std::string_view path) {
  const size_t last = path.find_last_of(kSeparators);
  return last == std::string_view::npos ? path : path.substr(last + 1);
}

std::string_view DirectoryPrefixOf(std::string_view path) {
  const size_t last = path.find_last_of(kSeparators);
  return last == std::string_view::npos ? std::string_view() : path.substr(0, last + 1);
}

std::string_view StemOf(std::string_view path) {
  const std::string_view name = FileNameOf(path);
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? name : name.substr(0, dot);
}

std::string WithTrailingSeparator(std::string_view folder) {
  std::string result(folder);
  if (!result.empty() && !EndsWithSeparator(result)) result += '/';
  return result;
}

std::size_t Utf8CharacterLength(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

std::filesystem::path PathFromUtf8(std::string_view text) {
  try {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
  } catch (const std::exception&) {
    // Where paths are UTF-16 (Windows), text that is not UTF-8 has no form and the conversion
    // throws. Each byte that is not UTF-8 becomes U+FFFD instead, so that callers get a path
    // (naming a file that is most likely not there) and an error from the operation on it.
    std::u8string valid;
    while (!text.empty()) {
      const std::size_t length = Utf8CharacterLength(text);
      valid.append(length ? std::u8string(text.begin(), text.begin() + length) : u8"\uFFFD");
      text.remove_prefix(std::max<std::size_t>(length, 1));
    }
    return std::filesystem::path(valid);
  }
}

std::string Utf8FromUtf16(std::u16string_view units) {
  std::string text;
  for (std::size_t at = 0; at < units.size(); ++at) {
    char32_t code = units[at];
    if (code >= 0xD800 && code <= 0xDFFF) {
      const bool paired = code <= 0xDBFF && at + 1 < units.size() && units[at + 1] >= 0xDC00 &&
                          units[at + 1] <= 0xDFFF;
      code = paired ? 0x10000 + ((code - 0xD800) << 10) + (units[++at] - 0xDC00) : 0xFFFD;
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

std::string Utf8FromPath(const std::filesystem::path& path) {
  using Unit = std::filesystem::path::value_type;
  const auto& native = path.native();
  if constexpr (sizeof(Unit) == sizeof(char16_t)) {
    // The library's own conversion throws on an unpaired surrogate.
    const std::u16string units(native.begin(), native.end());
    return Utf8FromUtf16(units);
  } else {
    return std::string(native.begin(), native.end());
  }
}

}  // namespace rigwright
