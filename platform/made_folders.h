// Folders made for output that is not written yet. Unless kept, every folder made is removed
// again when this ends, deepest first; a folder that is not empty (something else put files
// there) stays, and a folder that existed before is never touched.
#pragma once

#include <filesystem>
#include <system_error>
#include <vector>

namespace rigwright {

class MadeFolders {
 public:
  MadeFolders() = default;
  MadeFolders(const MadeFolders&) = delete;
  MadeFolders& operator=(const MadeFolders&) = delete;
  ~MadeFolders();

  // Makes `folder` and every missing folder above it, remembering each one made. False, with
  // `error` set, when one cannot be made or something that is not a folder is in the way.
  bool Make(std::filesystem::path folder, std::error_code& error);
  void Keep() { kept_ = true; }
  // Keep() when `ok`; returns `ok`.
  bool KeepIf(bool ok) {
    kept_ = ok;
    return ok;
  }

 private:
  std::vector<std::filesystem::path> made_;
  bool kept_ = false;
};

}  // namespace rigwright
