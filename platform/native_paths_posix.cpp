#include "platform/native_paths.h"

namespace rigwright {

std::string ProgramFileName(std::string_view name) { return std::string(name); }

std::string NativeSeparators(std::string_view path) { return std::string(path); }

}  // namespace rigwright
