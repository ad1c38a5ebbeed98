// Writing files so that a reader never sees half of one: each file is written in full under a
// temporary name beside its target and only then renamed over it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace rigwright {

// Creates `path`, which must not exist yet, writes `bytes` to it and flushes them to the disk.
// On failure the partly written file is removed, `error` says what failed (naming `shownAs` when
// given, the file the caller writes on behalf of, else `path`, and what the system reported)
// and false is returned.
bool WriteNewFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                  std::string* error, const std::filesystem::path& shownAs = {});

// A file made new and written piece by piece: in order, and at offsets already written (a
// header filled in last). Unless it was finished, the file is removed when this is destroyed,
// so a failed or abandoned write leaves nothing behind.
class NewFile {
 public:
  NewFile() = default;
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;
  ~NewFile();

  // What becomes of the file once written.
  enum class Use {
    // Kept: where the system allows, what is written goes out to the disk while the rest is
    // still being written, so that the flush in Finish has little left to wait for.
    kKept,
    // Read back and removed: left in memory, never sent to the disk on purpose.
    kScratch,
  };

  // Creates `path`, which must not exist yet. Messages name `shownAs` when given, else `path`.
  bool Create(const std::filesystem::path& path, const std::filesystem::path& shownAs = {},
              Use use = Use::kKept);
  bool Write(std::span<const std::uint8_t> bytes);
  bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  // Reads up to `into.size()` bytes from `offset`; how many were read, or -1 on error.
  std::int64_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> into);
  // Flushes the file to the disk (unless `sync` is false: a file that is read back and thrown
  // away) and closes it; the file then stays.
  bool Finish(bool sync = true);
  // Closes and removes the file.
  void Remove();

  std::uint64_t size() const { return size_; }
  const std::filesystem::path& path() const { return path_; }
  // What failed last: the operation, the file and what the system said.
  const std::string& error() const { return error_; }

 private:
  bool Failed(const char* operation, int err);

  std::filesystem::path path_;
  std::filesystem::path shownAs_;
  int fd_ = -1;
  bool finished_ = false;
  Use use_ = Use::kKept;
  std::uint64_t size_ = 0;
  std::uint64_t writtenOutTo_ = 0;  // where the last early write-out ended
  std::string error_;
};

// Puts the file `from` in the place of `to` in one step; an existing `to` is replaced.
bool ReplaceFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to,
                           std::string* error);

// Makes what stands at `target` reachable under `aside`, a new name in the same folder, so that it
// can be put back after `target` has been replaced: a second link where the file system has them
// (the target stays in place meanwhile), else `target` is moved there. `kept` tells whether
// anything stood at `target`. A folder is refused, since a file cannot take its place.
bool KeepAside(const std::filesystem::path& target, const std::filesystem::path& aside, bool* kept,
               std::string* error);

}  // namespace rigwright
