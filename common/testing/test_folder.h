// Test support: a fresh folder under the temporary folder, removed with everything in it when
// the test ends.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "common/path_text.h"

namespace rigwright {

class TestFolder {
 public:
  TestFolder() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("rigwright-test-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~TestFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The folder's path as text with a trailing '/', the form folder paths have in Rigwright.
  std::string text() const { return Utf8FromPath(path_) + "/"; }

  // Writes `content` to the relative path `name` (UTF-8), creating folders on the way.
  std::filesystem::path Write(std::string_view name, std::string_view content) const {
    const std::filesystem::path file = path_ / PathFromUtf8(name);
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary).write(content.data(),
                                                static_cast<std::streamsize>(content.size()));
    return file;
  }

  // Names of the entries directly in the folder (or in `sub`), sorted.
  std::vector<std::string> Names(std::string_view sub = {}) const {
    std::vector<std::string> names;
    for (const auto& entry :
         std::filesystem::directory_iterator(path_ / PathFromUtf8(sub))) {
      names.push_back(Utf8FromPath(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace rigwright
