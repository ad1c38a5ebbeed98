#include "platform/file_location.h"

#include <algorithm>

namespace rigwright {

bool FileForReading::Fail(Failure failure, std::string error) {
  Close();
  size_ = 0;
  failure_ = failure;
  error_ = std::move(error);
  return false;
}

bool LiesWithin(const std::filesystem::path& location, const std::filesystem::path& folder) {
  return !folder.empty() &&
         std::mismatch(folder.begin(), folder.end(), location.begin(), location.end()).first ==
             folder.end();
}

}  // namespace rigwright
