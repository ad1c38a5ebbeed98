#include "platform/staged_files.h"

#include <random>
#include <system_error>

#include "common/path_text.h"
#include "platform/commit_record.h"
#include "platform/file_write.h"

namespace rigwright {
namespace {

void RemoveQuietly(const std::filesystem::path& path) {
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
}

std::filesystem::path FolderOf(const std::filesystem::path& path) {
  const std::filesystem::path folder = path.parent_path();
  return folder.empty() ? std::filesystem::path(".") : folder;
}

}  // namespace

// Its length does not depend on the target's, so every name the system allows can be written.
std::filesystem::path TemporaryPathBeside(const std::filesystem::path& target, const char* suffix) {
  static const char kHex[] = "0123456789abcdef";
  std::random_device random;
  std::string name = ".rigwright-";
  for (int i = 0; i < 4; ++i) {
    unsigned value = random();
    for (int j = 0; j < 4; ++j, value >>= 4) name += kHex[value & 0xF];
  }
  return target.parent_path() / PathFromUtf8(name + suffix);
}

StagedFiles::~StagedFiles() { RemoveStaged(); }

void StagedFiles::WaitWith(std::function<void(const std::filesystem::path&)> waiting,
                           std::function<bool()> cancelled) {
  waiting_ = std::move(waiting);
  cancelled_ = std::move(cancelled);
}

// Under the folder's lock nobody else of ours writes there: a commit record found now was left
// by a crash, and a temporary file that nobody holds belongs to a writer that is gone.
bool StagedFiles::PrepareFolder(const std::filesystem::path& target) {
  const std::filesystem::path folder = FolderOf(target);
  if (mode_ == Mode::kManyFiles) return true;
  for (const LockedFolder& locked : folders_) {
    if (locked.folder == folder) return true;
  }
  auto lock = std::make_unique<FolderLock>();
  std::string why;
  if (!lock->Lock(
          folder, [&] { if (waiting_) waiting_(folder); }, cancelled_, &why)) {
    // A folder that cannot even be opened to be locked (missing, or without read access) gets
    // no lock; creating the file there then fails or not, and says why, as without locks.
    if (why.empty()) {  // cancelled while waiting
      error_.clear();
      return false;
    }
    lock.reset();
  }
  if (!RecoverCommit(folder, &error_)) return false;
  SweepDeadTemporaries(folder);
  folders_.push_back({folder, std::move(lock)});
  return true;
}

NewFile* StagedFiles::Create(const std::filesystem::path& target) {
  if (!PrepareFolder(target)) return nullptr;
  auto file = std::make_unique<NewFile>();
  const bool many = mode_ == Mode::kManyFiles;
  const std::filesystem::path temporary = TemporaryPathBeside(target, many ? ".part" : ".new");
  if (many ? !file->Create(temporary, target) : !file->CreateTemporary(temporary, target)) {
    error_ = file->error();
    return nullptr;
  }
  staged_.push_back({temporary, target, std::move(file), {}, false, false});
  return staged_.back().file.get();
}

// A few staged files are flushed at once, so that a failing disk shows before anything is
// replaced, and kept open, and so unnamed, until the commit. Many files are closed at once and
// flushed all together before the commit (SyncManyFiles).
bool StagedFiles::Settle(Entry& entry) {
  const bool ok =
      mode_ == Mode::kManyFiles ? entry.file->Finish(/*sync=*/false) : entry.file->Flush();
  if (!ok) {
    error_ = entry.file->error();
    entry.file.reset();  // removes it
  } else if (mode_ == Mode::kManyFiles) {
    entry.file.reset();
  }
  return ok;
}

bool StagedFiles::Stage(const std::filesystem::path& target, std::span<const std::uint8_t> bytes) {
  return Stage(target, [bytes](NewFile& file) { return file.Write(bytes); });
}

bool StagedFiles::Stage(const std::filesystem::path& target,
                        const std::function<bool(NewFile&)>& write) {
  NewFile* file = Create(target);
  if (!file) return false;
  if (!write(*file)) {
    error_ = file->error();
    staged_.pop_back();  // removes it
    return false;
  }
  if (Settle(staged_.back())) return true;
  staged_.pop_back();
  return false;
}

NewFile* StagedFiles::Begin(const std::filesystem::path& target) {
  NewFile* file = Create(target);
  open_ = file != nullptr;
  return file;
}

bool StagedFiles::End() {
  const bool ok = open_ && Settle(staged_.back());
  open_ = false;
  return ok;
}

bool StagedFiles::Commit() {
  if (open_ && !End()) return false;
  if (!AllReplaceable() || (mode_ == Mode::kCrashSafe ? !CommitInFolders() : !SyncManyFiles())) {
    RemoveStaged();
    return false;
  }
  bool replacedOne = false;
  for (Entry& entry : staged_) {
    if (!PutInPlace(entry)) {
      RollBack();
      return false;
    }
    if (!replacedOne) CommitTestPoint("replaced");
    replacedOne = true;
  }
  // Many renames are flushed once a folder; failure here loses nothing already written.
  std::filesystem::path synced;
  for (const Entry& entry : staged_) {
    if (entry.kept) RemoveQuietly(entry.aside);
    if (mode_ == Mode::kManyFiles && FolderOf(entry.target) != synced) {
      synced = FolderOf(entry.target);
      std::string ignored;
      SyncFolder(synced, &ignored);
    }
  }
  RemoveRecords();
  staged_.clear();
  return true;
}

// A file that another program holds so that it cannot be replaced (on Windows, Kelmora with the
// machine open) is found before anything is renamed: found in the middle of the commit, the
// earlier files would already be moved aside, and on Windows could not be moved back either.
bool StagedFiles::AllReplaceable() {
  for (const Entry& entry : staged_) {
    error_ = check_ ? check_(entry.target) : WhyNotReplaceable(entry.target);
    if (error_.empty()) continue;
    if (error_.ends_with(kHeldByAnotherProgram)) {
      error_ += mode_ == Mode::kCrashSafe
                    ? "; close it there (the machine in Kelmora) and export again"
                    : "; close it there and try again";
    }
    return false;
  }
  return true;
}

// The data of every staged file and its name, flushed together before any target is replaced.
bool StagedFiles::SyncManyFiles() {
  std::vector<std::filesystem::path> files, targets;
  for (const Entry& entry : staged_) {
    files.push_back(entry.temporary);
    targets.push_back(entry.target);
  }
  return SyncFilesTogether(files, targets, &error_);
}

// Names every staged file, flushes the names, and writes each folder's commit record: from here
// on a crash is finished by whoever next writes into the folder.
bool StagedFiles::CommitInFolders() {
  for (Entry& entry : staged_) {
    entry.aside = TemporaryPathBeside(entry.target, ".old");
    if (!entry.file) continue;
    if (!entry.file->Finish(/*sync=*/false)) {
      error_ = entry.file->error();
      return false;
    }
    entry.file.reset();
  }
  CommitTestPoint("named");
  for (const LockedFolder& locked : folders_) {
    std::vector<CommitStep> steps;
    for (const Entry& entry : staged_) {
      if (FolderOf(entry.target) == locked.folder) {
        steps.push_back({entry.temporary, entry.target, entry.aside});
      }
    }
    if (steps.empty()) continue;
    // The names must be on the disk before the record that names them. A file system that
    // cannot flush a folder is still written to: refusing would leave the user with nothing.
    std::string ignored;
    SyncFolder(locked.folder, &ignored);
    if (!WriteCommitRecord(locked.folder, steps, &error_)) {
      RemoveRecords();
      return false;
    }
  }
  CommitTestPoint("recorded");
  return true;
}

bool StagedFiles::PutInPlace(Entry& entry) {
  if (entry.aside.empty()) entry.aside = TemporaryPathBeside(entry.target, ".old");
  if (!KeepAside(entry.target, entry.aside, &entry.kept, &error_)) return false;
  if (!ReplaceFileAtomically(entry.temporary, entry.target, &error_,
                             /*syncFolder=*/mode_ == Mode::kCrashSafe)) {
    return false;
  }
  entry.placed = true;
  return true;
}

void StagedFiles::RollBack() {
  for (auto entry = staged_.rbegin(); entry != staged_.rend(); ++entry) {
    if (!entry->placed) {
      RemoveQuietly(entry->temporary);
    } else if (!entry->kept) {
      RemoveQuietly(entry->target);  // nothing stood there before
    }
    if (!entry->kept) continue;
    // Where the target was linked rather than moved and never replaced, both names lead to the
    // same file: the rename then changes nothing and the removal drops the extra name.
    std::string ignored;
    if (ReplaceFileAtomically(entry->aside, entry->target, &ignored)) {
      RemoveQuietly(entry->aside);
    } else {
      error_ += "; its earlier content could not be put back and is kept as " +
                Utf8FromPath(entry->aside);
    }
  }
  RemoveRecords();
  staged_.clear();
}

void StagedFiles::RemoveStaged() {
  for (Entry& entry : staged_) {
    entry.file.reset();
    RemoveQuietly(entry.temporary);
  }
  staged_.clear();
  open_ = false;
}

void StagedFiles::RemoveRecords() {
  if (mode_ != Mode::kCrashSafe) return;
  for (const LockedFolder& locked : folders_) {
    if (std::filesystem::exists(CommitRecordPath(locked.folder))) {
      RemoveQuietly(CommitRecordPath(locked.folder));
      std::string ignored;
      SyncFolder(locked.folder, &ignored);
    }
  }
}

}  // namespace rigwright
