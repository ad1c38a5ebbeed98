#include "platform/log_file.h"

namespace rigwright {

bool AppendLogLine(const std::filesystem::path& file, std::string_view line,
                   std::uintmax_t sizeCap) noexcept {
  try {
    return AppendLogLineOrThrow(file, line, sizeCap);
  } catch (...) {
    return false;  // out of memory making the folder: the line is dropped
  }
}

}  // namespace rigwright
