#include "platform/file_write.h"

#include <cctype>
#include <string_view>

namespace rigwright {

bool WriteNewFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                  std::string* error, const std::filesystem::path& shownAs) {
  NewFile file;
  const bool ok = file.Create(path, shownAs) && file.Write(bytes) && file.Finish();
  if (!ok) *error = file.error();
  return ok;
}

bool IsOurTemporaryName(const std::string& name) {
  static constexpr std::string_view kPrefix = ".rigwright-";
  constexpr std::size_t kDigits = 16;
  if (name.size() != kPrefix.size() + kDigits + 4 || name.compare(0, kPrefix.size(), kPrefix) != 0)
    return false;
  for (std::size_t i = kPrefix.size(); i < kPrefix.size() + kDigits; ++i) {
    if (!std::isxdigit(static_cast<unsigned char>(name[i])) || std::isupper(name[i])) return false;
  }
  const std::string suffix = name.substr(kPrefix.size() + kDigits);
  return suffix == ".new" || suffix == ".old" || suffix == ".tmp";
}

}  // namespace rigwright
