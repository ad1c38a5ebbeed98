#include "platform/staged_files.h"

#include <random>
#include <system_error>

#include "platform/file_write.h"

namespace rigwright {
namespace {

// A hidden name beside the target that no earlier run left behind, so that creating it
// exclusively cannot fail on a leftover and two writers never share one.
std::filesystem::path TemporaryNameFor(const std::filesystem::path& target) {
  static const char kHex[] = "0123456789abcdef";
  std::random_device random;
  std::string suffix;
  for (int i = 0; i < 4; ++i) {
    unsigned value = random();
    for (int j = 0; j < 4; ++j, value >>= 4) suffix += kHex[value & 0xF];
  }
  std::filesystem::path name = target;
  name.replace_filename("." + target.filename().string() + ".partial-" + suffix);
  return name;
}

}  // namespace

StagedFiles::~StagedFiles() { RemoveStaged(); }

bool StagedFiles::Stage(const std::filesystem::path& target, std::span<const std::uint8_t> bytes) {
  const std::filesystem::path temporary = TemporaryNameFor(target);
  if (!WriteNewFile(temporary, bytes, &error_)) return false;
  staged_.push_back({temporary, target});
  return true;
}

bool StagedFiles::Commit() {
  while (!staged_.empty()) {
    if (!ReplaceFile(staged_.front().temporary, staged_.front().target, &error_)) {
      RemoveStaged();
      return false;
    }
    staged_.erase(staged_.begin());
  }
  return true;
}

void StagedFiles::RemoveStaged() {
  for (const Entry& entry : staged_) {
    std::error_code ignored;
    std::filesystem::remove(entry.temporary, ignored);
  }
  staged_.clear();
}

}  // namespace rigwright
