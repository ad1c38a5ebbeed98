#include "common/path_text.h"

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

std::filesystem::path PathFromUtf8(std::string_view text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace rigwright
