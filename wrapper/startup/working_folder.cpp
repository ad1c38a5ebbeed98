#include "wrapper/startup/working_folder.h"

#include <filesystem>
#include <system_error>

#include "common/path_text.h"
#include "platform/tree_removal.h"

namespace rigwright {
namespace {

// Far beyond any real number of wrappers left behind; only a folder that refuses every name
// (which creating already detects) could take us there.
constexpr int kMaxNames = 100000;

}  // namespace

std::string WorkingFolderName(int index) {
  return index == 0 ? std::string("Rigwright") : "Rigwright" + std::to_string(index);
}

WorkingFolder ClaimWorkingFolder(std::string_view temporaryFolder) {
  if (temporaryFolder.empty())
    return {{}, "there is no temporary folder to make a working folder in"};
  for (int index = 0; index < kMaxNames; ++index) {
    const std::string path = std::string(temporaryFolder) + WorkingFolderName(index);
    std::error_code error;
    const bool created = std::filesystem::create_directory(PathFromUtf8(path), error);
    // The folder ends in the separator the temporary folder ends in: '\' on Windows.
    if (created) return {path + temporaryFolder.back(), {}};
    if (error && error != std::errc::file_exists) {
      return {{}, "cannot create working folder " + path + ": " + error.message()};
    }
  }
  return {{}, "every working folder name in " + std::string(temporaryFolder) + " is taken"};
}

std::string RemoveWorkingFolder(std::string_view path) {
  std::error_code error;
  // Not remove_all: on Windows it enters a junction inside and deletes what lies behind it.
  RemoveTree(PathFromUtf8(path), error);
  return error ? "cannot delete working folder " + std::string(path) + ": " + error.message()
               : std::string();
}

}  // namespace rigwright
