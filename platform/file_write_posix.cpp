#include "platform/file_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace rigwright {
namespace {

constexpr std::uint64_t kWriteOutBytes = std::uint64_t{8} << 20;

std::string PosixError(const std::string& context, const std::filesystem::path& path, int err) {
  return context + " " + path.string() + ": " + std::generic_category().message(err);
}

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes = bytes.subspan(static_cast<size_t>(n));
  }
  return true;
}

// Makes a completed rename survive a crash; failure here loses nothing already written.
void SyncDirectoryOf(const std::filesystem::path& path) {
  std::filesystem::path dir = path.parent_path();
  if (dir.empty()) dir = ".";
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

NewFile::~NewFile() {
  if (!finished_) Remove();
}

bool NewFile::Failed(const char* operation, int err) {
  error_ = PosixError(operation, shownAs_, err);
  return false;
}

bool NewFile::Create(const std::filesystem::path& path, const std::filesystem::path& shownAs,
                     Use use) {
  shownAs_ = shownAs.empty() ? path : shownAs;
  use_ = use;
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd_ < 0) return Failed("cannot create", errno);
  path_ = path;  // only a file this made is ever removed
  return true;
}

bool NewFile::Write(std::span<const std::uint8_t> bytes) {
  if (!WriteAll(fd_, bytes)) return Failed("cannot write", errno);
  size_ += bytes.size();
  // Starts the disk on what was written so far without waiting for it, a few MiB at a time: a
  // large package is then mostly on the disk by the time Finish flushes it, instead of all of it
  // being written out only then. Failure here only loses the head start.
  if (use_ == Use::kKept && size_ - writtenOutTo_ >= kWriteOutBytes) {
    ::sync_file_range(fd_, static_cast<off_t>(writtenOutTo_),
                      static_cast<off_t>(size_ - writtenOutTo_), SYNC_FILE_RANGE_WRITE);
    writtenOutTo_ = size_;
  }
  return true;
}

bool NewFile::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Failed("cannot write", errno);
    bytes = bytes.subspan(static_cast<size_t>(n));
    offset += static_cast<std::uint64_t>(n);
  }
  return true;
}

std::int64_t NewFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) {
  for (;;) {
    const ssize_t n = ::pread(fd_, into.data(), into.size(), static_cast<off_t>(offset));
    if (n >= 0) return n;
    if (errno != EINTR) {
      Failed("cannot read", errno);
      return -1;
    }
  }
}

bool NewFile::Finish(bool sync) {
  if (sync && ::fsync(fd_) != 0) return Failed("cannot write", errno);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return Failed("cannot write", errno);
  finished_ = true;
  return true;
}

void NewFile::Remove() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!path_.empty()) ::unlink(path_.c_str());
  path_.clear();
}

bool ReplaceFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to,
                           std::string* error) {
  if (std::rename(from.c_str(), to.c_str()) != 0) {
    *error = PosixError("cannot replace", to, errno);
    return false;
  }
  SyncDirectoryOf(to);
  return true;
}

bool KeepAside(const std::filesystem::path& target, const std::filesystem::path& aside, bool* kept,
               std::string* error) {
  *kept = false;
  struct stat status;
  if (::lstat(target.c_str(), &status) != 0) {
    if (errno == ENOENT) return true;
    *error = PosixError("cannot replace", target, errno);
    return false;
  }
  if (S_ISDIR(status.st_mode)) {
    *error = PosixError("cannot replace", target, EISDIR);
    return false;
  }
  // A link is itself kept, not what it points to (no AT_SYMLINK_FOLLOW). A file system without
  // hard links (a memory stick, say) still allows the move.
  if (::linkat(AT_FDCWD, target.c_str(), AT_FDCWD, aside.c_str(), 0) != 0 &&
      std::rename(target.c_str(), aside.c_str()) != 0) {
    *error = PosixError("cannot replace", target, errno);
    return false;
  }
  *kept = true;
  return true;
}

}  // namespace rigwright
