#include "platform/temporary_folder.h"

#include <filesystem>
#include <system_error>

#include "common/path_text.h"

namespace rigwright {

std::string TemporaryFolder() {
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  if (error) return {};
  return WithTrailingSeparator(Utf8FromPath(folder));
}

}  // namespace rigwright
