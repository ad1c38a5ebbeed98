#include "platform/file_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace rigwright {
namespace {

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

bool WriteNewFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                  std::string* error, const std::filesystem::path& shownAs) {
  const std::filesystem::path& named = shownAs.empty() ? path : shownAs;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    *error = PosixError("cannot create", named, errno);
    return false;
  }
  bool ok = WriteAll(fd, bytes);
  int err = ok ? 0 : errno;
  if (ok && ::fsync(fd) != 0) {
    ok = false;
    err = errno;
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    *error = PosixError("cannot write", named, err);
    ::unlink(path.c_str());
  }
  return ok;
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
