// A set of files written together: every file is first staged completely beside its target, and
// only when all are staged are they renamed over their targets. A failure, while staging or while
// committing, leaves every target as it was and no temporary file behind; so does a crash (see
// Mode::kCrashSafe).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/file_write.h"
#include "platform/folder_lock.h"

namespace rigwright {

// A short hidden name in the folder of `target` (".rigwright-<16 hex digits><suffix>") that no
// earlier run left behind, so that creating it exclusively cannot fail on a leftover and two
// writers never share one.
std::filesystem::path TemporaryPathBeside(const std::filesystem::path& target, const char* suffix);

class StagedFiles {
 public:
  enum class Mode {
    // For the few files of an export. Before anything is staged into a folder, the folder is
    // locked (until this ends), the commit a crash interrupted there is finished (see
    // commit_record.h) and the temporary files of dead writers are removed. Staged files stay
    // open and unnamed (CreateTemporary), so a killed writer leaves none; the commit is whole
    // across a crash in each folder.
    kCrashSafe,
    // For very many files (an extraction): each staged file is named and closed at once, so no
    // descriptor is held per file; no folder is locked, and a crash can leave staged files
    // (".rigwright-<16 hex digits>.part", which no sweep removes, since a live one cannot be
    // told from a dead one) and part of a commit.
    kManyFiles,
  };
  explicit StagedFiles(Mode mode = Mode::kCrashSafe) : mode_(mode) {}
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;
  // Removes every staged file that was not committed.
  ~StagedFiles();

  // While another writer holds a folder's lock: `waiting` is told the folder once, and
  // `cancelled` is asked whether to give up (the Stage or Begin then fails with an empty error).
  void WaitWith(std::function<void(const std::filesystem::path& folder)> waiting,
                std::function<bool()> cancelled);

  // Writes `bytes` to a new temporary file in the folder of `target`, which must exist.
  bool Stage(const std::filesystem::path& target, std::span<const std::uint8_t> bytes);
  // The same for content that `write` writes into the new file piece by piece. When `write`
  // returns false the file is removed; error() then holds the file's own error, if any.
  bool Stage(const std::filesystem::path& target, const std::function<bool(NewFile&)>& write);
  // Starts staging a file for `target` whose content comes in pieces over time: write them to
  // the returned file, then call End. Null (see error()) when the file cannot be created.
  NewFile* Begin(const std::filesystem::path& target);
  // Flushes (and in kManyFiles closes) the file started last.
  bool End();

  // Tells why a target cannot be replaced now (WhyNotReplaceable unless set): tests put another
  // system's rule in place of this one's.
  void CheckReplaceWith(std::function<std::string(const std::filesystem::path&)> check) {
    check_ = std::move(check);
  }

  // Renames the staged files over their targets, in staging order. A target that cannot be
  // replaced now (see WhyNotReplaceable) stops the commit before anything is renamed. Each
  // replaced target is kept under a temporary name until all renames have succeeded. On failure
  // every target is put back as it was (a target that did not exist is removed again) and the
  // staged files are removed.
  bool Commit();

  // Why the last failing call failed: the operation, the target's path and what the system said.
  const std::string& error() const { return error_; }

 private:
  struct Entry {
    std::filesystem::path temporary;
    std::filesystem::path target;
    std::unique_ptr<NewFile> file;  // while still open
    std::filesystem::path aside;    // the earlier target while the commit runs
    bool kept = false;              // something stood at `target` and is kept as `aside`
    bool placed = false;            // `temporary` has been renamed to `target`
  };
  struct LockedFolder {
    std::filesystem::path folder;
    std::unique_ptr<FolderLock> lock;  // null where the folder could not be opened to lock it
  };
  bool PrepareFolder(const std::filesystem::path& target);
  NewFile* Create(const std::filesystem::path& target);
  bool Settle(Entry& entry);
  bool AllReplaceable();
  bool SyncManyFiles();
  bool CommitInFolders();
  bool PutInPlace(Entry& entry);
  void RollBack();
  void RemoveStaged();
  void RemoveRecords();

  Mode mode_;
  std::function<void(const std::filesystem::path&)> waiting_;
  std::function<bool()> cancelled_;
  std::function<std::string(const std::filesystem::path&)> check_;
  std::vector<LockedFolder> folders_;  // released after the staged files are gone
  std::vector<Entry> staged_;
  bool open_ = false;  // the last entry was started by Begin and not yet ended
  std::string error_;
};

}  // namespace rigwright
