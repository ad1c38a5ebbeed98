#include "platform/file_write.h"

namespace rigwright {

bool WriteNewFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                  std::string* error, const std::filesystem::path& shownAs) {
  NewFile file;
  const bool ok = file.Create(path, shownAs) && file.Write(bytes) && file.Finish();
  if (!ok) *error = file.error();
  return ok;
}

}  // namespace rigwright
