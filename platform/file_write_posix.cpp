#include "platform/file_write.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

std::filesystem::path FolderOf(const std::filesystem::path& path) {
  const std::filesystem::path folder = path.parent_path();
  return folder.empty() ? std::filesystem::path(".") : folder;
}

}  // namespace

bool SyncFolder(const std::filesystem::path& folder, std::string* error) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const bool ok = fd >= 0 && ::fsync(fd) == 0;
  if (!ok) *error = PosixError("cannot flush the folder", folder, errno);
  if (fd >= 0) ::close(fd);
  return ok;
}

int SweepDeadTemporaries(const std::filesystem::path& folder) {
  int removed = 0;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    if (!IsOurTemporaryName(it->path().filename().string())) continue;
    // A live writer's named file is either held locked by it (named from the start, where there
    // are no unnamed files) or part of a commit under the folder's lock, which the caller holds:
    // a lock we can take means the writer ended, was killed or lost power.
    const int fd = ::open(it->path().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat status;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(it->path().c_str()) == 0) {
      ++removed;
    }
    ::close(fd);
  }
  return removed;
}

struct NewFile::Native {
  int fd = -1;
};

NewFile::NewFile() = default;

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
  auto file = std::make_unique<Native>();
  file->fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (file->fd < 0) return Failed("cannot create", errno);
  file_ = std::move(file);
  path_ = path;  // only a file this made is ever removed
  return true;
}

bool NewFile::CreateTemporary(const std::filesystem::path& path,
                              const std::filesystem::path& shownAs, Use use) {
  auto file = std::make_unique<Native>();
  file->fd = ::open(FolderOf(path).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
  if (file->fd >= 0) {
    file_ = std::move(file);
    shownAs_ = shownAs.empty() ? path : shownAs;
    use_ = use;
    path_ = path;
    unnamed_ = true;
    return true;
  }
  // Some file systems (and kernels) have no unnamed files: the named file is locked instead, and
  // the lock ends with the process however it ends. Any other failure is the file's own.
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
    shownAs_ = shownAs.empty() ? path : shownAs;
    return Failed("cannot create", errno);
  }
  if (!Create(path, shownAs, use)) return false;
  ::flock(file_->fd, LOCK_EX | LOCK_NB);
  return true;
}

bool NewFile::Flush() { return ::fsync(file_->fd) == 0 || Failed("cannot write", errno); }

bool NewFile::Name() {
  if (!unnamed_) return true;
  // The /proc form needs no privilege; linking the descriptor itself (AT_EMPTY_PATH) needs
  // CAP_DAC_READ_SEARCH, so it is only the fallback where /proc is not mounted (ENOENT).
  const std::string self = "/proc/self/fd/" + std::to_string(file_->fd);
  if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path_.c_str(), AT_SYMLINK_FOLLOW) != 0) {
    const int err = errno;
    if (err != ENOENT || ::linkat(file_->fd, "", AT_FDCWD, path_.c_str(), AT_EMPTY_PATH) != 0) {
      return Failed("cannot create", err);
    }
  }
  unnamed_ = false;
  return true;
}

bool NewFile::Write(std::span<const std::uint8_t> bytes) {
  if (!WriteAll(file_->fd, bytes)) return Failed("cannot write", errno);
  size_ += bytes.size();
  // Starts the disk on what was written so far without waiting for it, a few MiB at a time: a
  // large package is then mostly on the disk by the time Finish flushes it, instead of all of it
  // being written out only then. Failure here only loses the head start.
  if (use_ == Use::kKept && size_ - writtenOutTo_ >= kWriteOutBytes) {
    ::sync_file_range(file_->fd, static_cast<off_t>(writtenOutTo_),
                      static_cast<off_t>(size_ - writtenOutTo_), SYNC_FILE_RANGE_WRITE);
    writtenOutTo_ = size_;
  }
  return true;
}

bool NewFile::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::pwrite(file_->fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Failed("cannot write", errno);
    bytes = bytes.subspan(static_cast<size_t>(n));
    offset += static_cast<std::uint64_t>(n);
  }
  return true;
}

std::int64_t NewFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) {
  for (;;) {
    const ssize_t n = ::pread(file_->fd, into.data(), into.size(), static_cast<off_t>(offset));
    if (n >= 0) return n;
    if (errno != EINTR) {
      Failed("cannot read", errno);
      return -1;
    }
  }
}

bool NewFile::Finish(bool sync) {
  if (sync && !Flush()) return false;
  if (!Name()) return false;
  const int fd = file_->fd;
  file_.reset();
  if (::close(fd) != 0) return Failed("cannot write", errno);
  finished_ = true;
  return true;
}

void NewFile::Remove() {
  if (file_) ::close(file_->fd);
  file_.reset();
  if (!path_.empty() && !unnamed_) ::unlink(path_.c_str());
  path_.clear();
  unnamed_ = false;
}

bool ReplaceFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to,
                           std::string* error, bool syncFolder) {
  if (std::rename(from.c_str(), to.c_str()) != 0) {
    *error = PosixError("cannot replace", to, errno);
    return false;
  }
  // Makes the rename survive a crash; failure here loses nothing already written.
  std::string ignored;
  if (syncFolder) SyncFolder(FolderOf(to), &ignored);
  return true;
}

std::string WhyNotReplaceable(const std::filesystem::path&) { return {}; }

// One syncfs for each file system the files are on writes out their data and every folder entry
// in one journal commit, where an fsync of each file commits once a file.
bool SyncFilesTogether(const std::vector<std::filesystem::path>& files,
                       const std::vector<std::filesystem::path>&, std::string* error) {
  std::vector<std::filesystem::path> folders;
  std::vector<dev_t> synced;
  for (const std::filesystem::path& file : files) {
    const std::filesystem::path folder = FolderOf(file);
    if (!folders.empty() && folders.back() == folder) continue;
    folders.push_back(folder);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat status;
    bool ok = fd >= 0 && ::fstat(fd, &status) == 0;
    if (ok && std::find(synced.begin(), synced.end(), status.st_dev) == synced.end()) {
      ok = ::syncfs(fd) == 0;
      synced.push_back(status.st_dev);
    }
    if (!ok) *error = PosixError("cannot flush the folder", folder, errno);
    if (fd >= 0) ::close(fd);
    if (!ok) return false;
  }
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
