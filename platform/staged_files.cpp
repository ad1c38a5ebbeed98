#include "platform/staged_files.h"

#include <random>
#include <system_error>

#include "common/path_text.h"
#include "platform/file_write.h"

namespace rigwright {
namespace {

void RemoveQuietly(const std::filesystem::path& path) {
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
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

StagedFiles::~StagedFiles() {
  open_.reset();
  RemoveStaged();
}

bool StagedFiles::Stage(const std::filesystem::path& target, std::span<const std::uint8_t> bytes) {
  return Stage(target, [bytes](NewFile& file) { return file.Write(bytes); });
}

bool StagedFiles::Stage(const std::filesystem::path& target,
                        const std::function<bool(NewFile&)>& write) {
  const std::filesystem::path temporary = TemporaryPathBeside(target, ".new");
  NewFile file;
  if (!file.Create(temporary, target) || !write(file) || !file.Finish()) {
    error_ = file.error();
    return false;
  }
  staged_.push_back({temporary, target, {}, false});
  return true;
}

NewFile* StagedFiles::Begin(const std::filesystem::path& target) {
  auto file = std::make_unique<NewFile>();
  const std::filesystem::path temporary = TemporaryPathBeside(target, ".new");
  if (!file->Create(temporary, target)) {
    error_ = file->error();
    return nullptr;
  }
  staged_.push_back({temporary, target, {}, false});
  open_ = std::move(file);
  return open_.get();
}

bool StagedFiles::End() {
  const bool ok = open_ && open_->Finish();
  if (!ok && open_) error_ = open_->error();
  open_.reset();
  return ok;
}

bool StagedFiles::Commit() {
  for (Entry& entry : staged_) {
    if (!PutInPlace(entry)) {
      RollBack();
      return false;
    }
  }
  for (const Entry& entry : staged_) {
    if (!entry.aside.empty()) RemoveQuietly(entry.aside);
  }
  staged_.clear();
  return true;
}

bool StagedFiles::PutInPlace(Entry& entry) {
  const std::filesystem::path aside = TemporaryPathBeside(entry.target, ".old");
  bool kept = false;
  if (!KeepAside(entry.target, aside, &kept, &error_)) return false;
  if (kept) entry.aside = aside;
  if (!ReplaceFileAtomically(entry.temporary, entry.target, &error_)) return false;
  entry.placed = true;
  return true;
}

void StagedFiles::RollBack() {
  for (auto entry = staged_.rbegin(); entry != staged_.rend(); ++entry) {
    if (!entry->placed) {
      RemoveQuietly(entry->temporary);
    } else if (entry->aside.empty()) {
      RemoveQuietly(entry->target);  // nothing stood there before
    }
    if (entry->aside.empty()) continue;
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
  staged_.clear();
}

void StagedFiles::RemoveStaged() {
  for (const Entry& entry : staged_) RemoveQuietly(entry.temporary);
  staged_.clear();
}

}  // namespace rigwright
