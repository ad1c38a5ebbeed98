#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "common/path_text.h"
#include "platform/environment.h"
#include "platform/log_file.h"
#include "platform/unique_fd.h"

namespace rigwright {
namespace {

UniqueFd OpenForAppend(const std::filesystem::path& file) {
  const auto open = [&] {
    return UniqueFd(::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600));
  };
  UniqueFd fd = open();
  if (!fd.valid() && errno == ENOENT) {
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    fd = open();
  }
  return fd;
}

// Renames the full file `fd` is open on, unless another process has renamed it already: the
// check and the rename happen under the file's lock, so two processes never both rename (the
// second would put the first one's new file over the kept one).
void RotateIfStillCurrent(int fd, const struct stat& opened, const std::filesystem::path& file) {
  if (::flock(fd, LOCK_EX) != 0) return;
  struct stat current {};
  if (::stat(file.c_str(), &current) == 0 && current.st_dev == opened.st_dev &&
      current.st_ino == opened.st_ino) {
    std::filesystem::path kept = file;
    kept += ".1";
    ::rename(file.c_str(), kept.c_str());
  }
  ::flock(fd, LOCK_UN);
}

}  // namespace

std::filesystem::path SupportLogFolder() {
  try {
    if (auto state = EnvironmentValue("XDG_STATE_HOME"); state && !state->empty()) {
      return PathFromUtf8(*state) / "rigwright";
    }
    if (auto home = EnvironmentValue("HOME"); home && !home->empty()) {
      return PathFromUtf8(*home) / ".local" / "state" / "rigwright";
    }
  } catch (...) {
    // Out of memory: no place, so no log.
  }
  return {};
}

bool AppendLogLineOrThrow(const std::filesystem::path& file, std::string_view line,
                          std::uintmax_t sizeCap) {
  // The second round writes even to a full file: a log that cannot be renamed still takes lines.
  for (int round = 0; round < 2; ++round) {
    const UniqueFd fd = OpenForAppend(file);
    if (!fd.valid()) return false;
    struct stat opened {};
    if (round == 0 && ::fstat(fd.get(), &opened) == 0 && opened.st_size > 0 &&
        static_cast<std::uintmax_t>(opened.st_size) + line.size() > sizeCap) {
      RotateIfStillCurrent(fd.get(), opened, file);
      continue;  // on to the file now at `file`, whoever renamed the full one
    }
    ssize_t written;
    do {
      written = ::write(fd.get(), line.data(), line.size());
    } while (written < 0 && errno == EINTR);
    return written == static_cast<ssize_t>(line.size());
  }
  return false;
}

}  // namespace rigwright
