#include <algorithm>

#include "platform/native_paths.h"

namespace rigwright {

std::string ProgramFileName(std::string_view name) { return std::string(name) + ".exe"; }

std::string NativeSeparators(std::string_view path) {
  std::string text(path);
  std::replace(text.begin(), text.end(), '/', '\\');
  return text;
}

}  // namespace rigwright
