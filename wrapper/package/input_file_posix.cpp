#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "wrapper/package/input_file.h"

namespace rigwright {
namespace {

std::string SystemSaid(int err) { return std::generic_category().message(err); }

}  // namespace

InputFile::~InputFile() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

bool InputFile::Open(const std::filesystem::path& path, std::string& error) {
  // Without O_NONBLOCK, opening a FIFO waits for a writer; for a regular file it changes nothing.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    error = "cannot be opened: " + SystemSaid(errno);
    return false;
  }
  handle_ = fd;
  struct stat status {};
  if (::fstat(fd, &status) != 0) {
    error = "cannot be read: " + SystemSaid(errno);
    return false;
  }
  if (S_ISDIR(status.st_mode)) {
    error = "is a folder";
    return false;
  }
  if (!S_ISREG(status.st_mode)) {
    error = "is not a regular file (a FIFO, device or socket), so it is not read";
    return false;
  }
  size_ = static_cast<std::uint64_t>(status.st_size);
  return true;
}

bool InputFile::Read(std::span<std::uint8_t> into, std::string& error) {
  while (!into.empty()) {
    const ssize_t got = ::read(static_cast<int>(handle_), into.data(), into.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = "cannot be read: " + SystemSaid(errno);
      return false;
    }
    if (got == 0) {
      error = "cannot be read: it became shorter while it was read";
      return false;
    }
    into = into.subspan(static_cast<std::size_t>(got));
  }
  return true;
}

}  // namespace rigwright
