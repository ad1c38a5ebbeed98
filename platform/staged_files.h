// A set of files written together: every file is first staged completely beside its target, and
// only when all are staged are they renamed over their targets. A failure while staging leaves
// every target as it was and no temporary file behind.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace rigwright {

class StagedFiles {
 public:
  StagedFiles() = default;
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;
  // Removes every staged file that was not committed.
  ~StagedFiles();

  // Writes `bytes` to a new temporary file in the folder of `target`, which must exist.
  bool Stage(const std::filesystem::path& target, std::span<const std::uint8_t> bytes);

  // Renames the staged files over their targets, in staging order. Stops at the first failure;
  // files renamed before it stay in place, the rest are removed.
  bool Commit();

  // Why the last failing call failed: the operation, the path and what the system said.
  const std::string& error() const { return error_; }

 private:
  struct Entry {
    std::filesystem::path temporary;
    std::filesystem::path target;
  };
  void RemoveStaged();

  std::vector<Entry> staged_;
  std::string error_;
};

}  // namespace rigwright
