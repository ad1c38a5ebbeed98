#include "platform/made_folders.h"

namespace rigwright {

namespace fs = std::filesystem;

MadeFolders::~MadeFolders() {
  if (kept_) return;
  for (auto folder = made_.rbegin(); folder != made_.rend(); ++folder) {
    std::error_code ignored;
    fs::remove(*folder, ignored);  // only when empty
  }
}

bool MadeFolders::Make(fs::path folder, std::error_code& error) {
  error.clear();
  folder = folder.lexically_normal();
  if (!folder.has_filename()) folder = folder.parent_path();
  std::vector<fs::path> missing;
  for (fs::path at = folder; !at.empty(); at = at.parent_path()) {
    std::error_code ignored;
    if (fs::exists(fs::symlink_status(at, ignored))) break;
    missing.push_back(at);
    if (at == at.parent_path()) break;
  }
  for (auto at = missing.rbegin(); at != missing.rend(); ++at) {
    if (fs::create_directory(*at, error)) {
      made_.push_back(*at);
    } else if (error) {
      return false;
    }
  }
  if (!folder.empty() && !fs::is_directory(folder, error) && !error) {
    error = std::make_error_code(std::errc::not_a_directory);
  }
  return !error;
}

}  // namespace rigwright
