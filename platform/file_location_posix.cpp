#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "platform/file_location.h"

namespace rigwright {
namespace {

const char* NotRegularText(mode_t mode) {
  if (S_ISDIR(mode)) return "is a folder";
  if (S_ISFIFO(mode)) return "is a pipe";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device";
  if (S_ISSOCK(mode)) return "is a socket";
  return "is not a regular file";
}

int Descriptor(std::intptr_t handle) { return static_cast<int>(handle); }

}  // namespace

FileForReading::Failure OpenFailureOf(unsigned long code, std::string* text) {
  const int err = static_cast<int>(code);
  if (text) *text = std::generic_category().message(err);
  return err == ENOENT || err == ENOTDIR ? FileForReading::Failure::kMissing
                                         : FileForReading::Failure::kUnreadable;
}

FileForReading::~FileForReading() { Close(); }

void FileForReading::Close() {
  if (handle_ >= 0) ::close(Descriptor(handle_));
  handle_ = -1;
}

bool FileForReading::Open(const std::filesystem::path& path) {
  Close();
  path_ = path;
  // Looked at first, so that no device is ever opened (opening some has effects), and opened
  // without waiting, so that a FIFO put there in between does not block.
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
    return Fail(Failure::kNotRegular, NotRegularText(status.st_mode));
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    std::string text;
    const Failure failure = OpenFailureOf(static_cast<unsigned long>(errno), &text);
    return Fail(failure, std::move(text));
  }
  handle_ = fd;
  if (::fstat(fd, &status) != 0)
    return Fail(Failure::kUnreadable, std::generic_category().message(errno));
  if (!S_ISREG(status.st_mode)) return Fail(Failure::kNotRegular, NotRegularText(status.st_mode));
  size_ = static_cast<std::uint64_t>(status.st_size);
  failure_ = Failure::kNone;
  error_.clear();
  return true;
}

std::int64_t FileForReading::Read(std::span<std::uint8_t> into) {
  for (;;) {
    const ssize_t n = ::read(Descriptor(handle_), into.data(), into.size());
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    error_ = std::generic_category().message(errno);
    return -1;
  }
}

std::filesystem::path FileForReading::Location() {
  // The kernel's own name of the open file, not the path it was opened by.
  const std::string link = "/proc/self/fd/" + std::to_string(handle_);
  std::string target(4096, '\0');
  for (;;) {
    const ssize_t n = ::readlink(link.c_str(), target.data(), target.size());
    if (n < 0) break;
    if (static_cast<std::size_t>(n) < target.size()) {
      target.resize(static_cast<std::size_t>(n));
      if (!target.empty() && target.front() == '/') return target;
      break;
    }
    target.resize(target.size() * 2);
  }
  // Without /proc: the path's resolved location, if that is still the file that is open.
  std::string error;
  std::filesystem::path resolved = ResolvedLocation(path_, &error);
  struct stat open {
  }, named{};
  if (!resolved.empty() && ::fstat(Descriptor(handle_), &open) == 0 &&
      ::stat(resolved.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
      open.st_ino == named.st_ino) {
    return resolved;
  }
  error_ = error.empty() ? "was replaced while it was opened" : error;
  return {};
}

std::filesystem::path ResolvedLocation(const std::filesystem::path& path, std::string* error) {
  std::error_code code;
  std::filesystem::path resolved = std::filesystem::canonical(path, code);
  if (code && error) *error = code.message();
  return code ? std::filesystem::path() : resolved;
}

bool IsLinkOrJunction(const std::filesystem::path& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

bool RemoveLinkItself(const std::filesystem::path& path, std::error_code& error) {
  error.clear();
  if (::unlink(path.c_str()) == 0) return true;
  error.assign(errno, std::generic_category());
  return false;
}

}  // namespace rigwright
