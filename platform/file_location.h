// Opening a file for reading and telling where the file that was opened really lies. A check of
// where a file lies that looks only at its path can be fooled by a link put in the file's place
// between the check and the read; asking the opened file cannot.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <system_error>

namespace rigwright {

class FileForReading {
 public:
  enum class Failure {
    kNone,
    kMissing,     // nothing is there, or a folder on the way is missing
    kNotRegular,  // a folder, pipe, device or socket is there
    kUnreadable,  // something is there but cannot be opened: no permission, a loop of links, ...
  };

  FileForReading() = default;
  FileForReading(const FileForReading&) = delete;
  FileForReading& operator=(const FileForReading&) = delete;
  ~FileForReading();

  // Opens `path` for reading, following links. Only a regular file is opened: anything else fails
  // at once (opening a FIFO never waits for a writer). On failure, failure() says what kind and
  // error() what the system said, without the path.
  bool Open(const std::filesystem::path& path);

  // The size the file had when it was opened.
  std::uint64_t size() const { return size_; }

  // Reads the next bytes into `into`: how many were read, 0 at the end, -1 on error.
  std::int64_t Read(std::span<std::uint8_t> into);

  // Where the opened file lies: absolute, with every link (and junction) resolved, whatever the
  // path it was opened by now names. Empty, with error() set, when the system cannot tell.
  std::filesystem::path Location();

  Failure failure() const { return failure_; }
  // "No such file or directory", "Permission denied", ...; for kNotRegular "is a folder",
  // "is a pipe", "is a device", "is a socket" or "is not a regular file".
  const std::string& error() const { return error_; }

 private:
  bool Fail(Failure failure, std::string error);
  void Close();

  std::intptr_t handle_ = -1;  // the descriptor or handle of the open file; -1 when closed
  std::filesystem::path path_;
  std::uint64_t size_ = 0;
  Failure failure_ = Failure::kNone;
  std::string error_;
};

// How an open that failed with the system's error `code` (errno; on Windows GetLastError) is
// told: missing or unreadable, and, in `text`, what the system said.
FileForReading::Failure OpenFailureOf(unsigned long code, std::string* text);

// Where the folder or file `path` lies: absolute, with every link (and junction) resolved.
// Empty, with `error` set, when that cannot be told.
std::filesystem::path ResolvedLocation(const std::filesystem::path& path, std::string* error);

// True when `location` is `folder` or lies below it; both as ResolvedLocation gives them.
bool LiesWithin(const std::filesystem::path& location, const std::filesystem::path& folder);

// Whether `path` itself, not followed, is a symbolic link or, on Windows, a junction or another
// reparse point that stands for a name elsewhere. False when nothing is there. (The library's
// symlink_status follows both on Windows.)
bool IsLinkOrJunction(const std::filesystem::path& path);

// Removes the link or junction `path` itself, never what it leads to.
bool RemoveLinkItself(const std::filesystem::path& path, std::error_code& error);

}  // namespace rigwright
