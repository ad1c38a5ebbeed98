// A set of files written together: every file is first staged completely beside its target, and
// only when all are staged are they renamed over their targets. A failure, while staging or while
// committing, leaves every target as it was and no temporary file behind.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/file_write.h"

namespace rigwright {

// A short hidden name in the folder of `target` (".rigwright-<16 hex digits><suffix>") that no
// earlier run left behind, so that creating it exclusively cannot fail on a leftover and two
// writers never share one.
std::filesystem::path TemporaryPathBeside(const std::filesystem::path& target, const char* suffix);

class StagedFiles {
 public:
  StagedFiles() = default;
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;
  // Removes every staged file that was not committed.
  ~StagedFiles();

  // Writes `bytes` to a new temporary file in the folder of `target`, which must exist.
  bool Stage(const std::filesystem::path& target, std::span<const std::uint8_t> bytes);
  // The same for content that `write` writes into the new file piece by piece. When `write`
  // returns false the file is removed; error() then holds the file's own error, if any.
  bool Stage(const std::filesystem::path& target, const std::function<bool(NewFile&)>& write);
  // Starts staging a file for `target` whose content comes in pieces over time: write them to
  // the returned file, then call End. Null (see error()) when the file cannot be created.
  NewFile* Begin(const std::filesystem::path& target);
  // Flushes and closes the file started last.
  bool End();

  // Renames the staged files over their targets, in staging order. Each replaced target is kept
  // under a temporary name until all renames have succeeded. On failure every target is put back
  // as it was (a target that did not exist is removed again) and the staged files are removed.
  bool Commit();

  // Why the last failing call failed: the operation, the target's path and what the system said.
  const std::string& error() const { return error_; }

 private:
  struct Entry {
    std::filesystem::path temporary;
    std::filesystem::path target;
    std::filesystem::path aside;  // the earlier target while the commit runs; empty if none
    bool placed = false;          // `temporary` has been renamed to `target`
  };
  bool PutInPlace(Entry& entry);
  void RollBack();
  void RemoveStaged();

  std::vector<Entry> staged_;
  std::unique_ptr<NewFile> open_;  // the file started by Begin and not yet ended
  std::string error_;
};

}  // namespace rigwright
