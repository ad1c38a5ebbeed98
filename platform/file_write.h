// Writing files so that a reader never sees half of one: each file is written in full under a
// temporary name beside its target and only then renamed over it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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
  NewFile();
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
  // Creates a temporary file in the folder of `path` that takes the name `path` (which must not
  // exist) only when Name is called, so that a writer killed before that leaves nothing behind:
  // on Linux it has no name until then, on Windows it is marked to be deleted when closed. Where
  // the file system refuses that, it is created as `path` and held locked (Linux) or unshared
  // (Windows) while open, which tells SweepDeadTemporaries that its writer is alive.
  bool CreateTemporary(const std::filesystem::path& path,
                       const std::filesystem::path& shownAs = {}, Use use = Use::kKept);
  bool Write(std::span<const std::uint8_t> bytes);
  bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  // Reads up to `into.size()` bytes from `offset`; how many were read, or -1 on error.
  std::int64_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> into);
  // Flushes what was written to the disk; the file stays open.
  bool Flush();
  // Gives a file made by CreateTemporary its name, path(); from then on it outlives this process
  // like any file, until Remove. The file stays open.
  bool Name();
  // Flushes the file to the disk (unless `sync` is false: a file that is read back and thrown
  // away, or one flushed already), names it (see Name) and closes it; the file then stays.
  bool Finish(bool sync = true);
  // Closes and removes the file.
  void Remove();

  std::uint64_t size() const { return size_; }
  const std::filesystem::path& path() const { return path_; }
  // What failed last: the operation, the file and what the system said.
  const std::string& error() const { return error_; }

 private:
  bool Failed(const char* operation, int err);

  // The open file as the system holds it, defined by each platform's own file: a descriptor on
  // POSIX, a HANDLE on Windows. Null while no file is open.
  struct Native;

  std::filesystem::path path_;
  std::filesystem::path shownAs_;
  std::unique_ptr<Native> file_;
  bool finished_ = false;
  bool unnamed_ = false;  // made by CreateTemporary and not named yet: vanishes when closed
  Use use_ = Use::kKept;
  std::uint64_t size_ = 0;
  std::uint64_t writtenOutTo_ = 0;  // where the last early write-out ended
  std::string error_;
};

// Puts the file `from` in the place of `to` in one step; an existing `to` is replaced. The new
// name is flushed to the disk at once unless `syncFolder` is false (the caller then flushes the
// folder once after many renames; Windows renames are always written through).
bool ReplaceFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to,
                           std::string* error, bool syncFolder = true);

// How WhyNotReplaceable's message for a file held by another program ends.
inline constexpr std::string_view kHeldByAnotherProgram = "another program is using it";

// Why `target` cannot be replaced now, as far as the system tells before anything is renamed, or
// nothing (also when `target` does not exist). On Windows a file that another program holds open
// without sharing its deletion cannot be renamed, replaced or deleted until that program closes
// it ("cannot replace <target>: " kHeldByAnotherProgram); on Linux nothing holds a file so.
std::string WhyNotReplaceable(const std::filesystem::path& target);

// Flushes to the disk, together, the closed files `files` (named `shownAs` in messages) and the
// entries of every folder that holds them: one wait for the disk instead of one a file. False,
// with `error` set, when the flush fails.
bool SyncFilesTogether(const std::vector<std::filesystem::path>& files,
                       const std::vector<std::filesystem::path>& shownAs, std::string* error);

// Makes what stands at `target` reachable under `aside`, a new name in the same folder, so that it
// can be put back after `target` has been replaced: a second link where the file system has them
// (the target stays in place meanwhile), else `target` is moved there. `kept` tells whether
// anything stood at `target`. A folder is refused, since a file cannot take its place.
bool KeepAside(const std::filesystem::path& target, const std::filesystem::path& aside, bool* kept,
               std::string* error);

// Flushes the entries of `folder` (renames, new and removed names) to the disk; where the system
// has no such flush this does nothing. False, with `error` set, when the flush fails.
bool SyncFolder(const std::filesystem::path& folder, std::string* error);

// Whether `name` is a temporary file name this program makes: ".rigwright-<16 hex digits>" and
// ".new", ".old" or ".tmp".
bool IsOurTemporaryName(const std::string& name);

// Removes, in `folder`, every temporary file of ours (IsOurTemporaryName) whose writer is no
// longer alive: one nobody holds locked (Linux) or open (Windows). The caller holds the folder's
// FolderLock, so no commit of ours runs there. What cannot be removed stays. The number removed.
int SweepDeadTemporaries(const std::filesystem::path& folder);

}  // namespace rigwright
