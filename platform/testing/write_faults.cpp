// A library to preload into a program under test (LD_PRELOAD) that makes one of its file writes
// fail, so that tests can prove that an interrupted write loses nothing. It watches the calls that
// write files into one folder: open for writing (an unnamed file in the folder too), write and
// fsync on what such an open returned, rename to or from the folder, and the naming of an unnamed file in it. The calls are counted from 1 in the order they are made.
//
//   RIGWRIGHT_FAULT_FOLDER  absolute folder whose files are watched; nothing is watched without it
//   RIGWRIGHT_FAULT_AT      the watched call that fails (1, 2, ...); 0 or unset: none fails
//   RIGWRIGHT_FAULT_ERRNO   "EIO" or "ENOSPC" (the default): what the failing call reports
//   RIGWRIGHT_FAULT_LOG     file that gets one line per watched call: its number, its kind, and
//                           "failed" for the one made to fail
//
// Other processes and other folders are not touched; the library keeps no state on disk but the
// log.
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <atomic>
#include <string>

namespace {

constexpr int kMaxTracked = 4096;

struct Settings {
  std::string folder;  // with a trailing '/'; empty: nothing is watched
  long failAt = 0;
  int error = ENOSPC;
  std::string log;
};

const Settings& GetSettings() {
  static const Settings settings = [] {
    Settings s;
    if (const char* folder = getenv("RIGWRIGHT_FAULT_FOLDER"); folder && folder[0] == '/') {
      s.folder = folder;
      if (s.folder.back() != '/') s.folder += '/';
    }
    if (const char* at = getenv("RIGWRIGHT_FAULT_AT")) s.failAt = strtol(at, nullptr, 10);
    if (const char* error = getenv("RIGWRIGHT_FAULT_ERRNO"); error && strcmp(error, "EIO") == 0) {
      s.error = EIO;
    }
    if (const char* log = getenv("RIGWRIGHT_FAULT_LOG")) s.log = log;
    return s;
  }();
  return settings;
}

std::atomic<long> calls{0};
std::atomic<bool> tracked[kMaxTracked];

template <typename Function>
Function Next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

bool Watched(const char* path) {
  const Settings& settings = GetSettings();
  if (settings.folder.empty() || !path) return false;
  if (path[0] == '/') return strncmp(path, settings.folder.c_str(), settings.folder.size()) == 0;
  char cwd[4096];
  if (!getcwd(cwd, sizeof(cwd))) return false;
  const std::string absolute = std::string(cwd) + "/" + path;
  return absolute.compare(0, settings.folder.size(), settings.folder) == 0;
}

bool TrackedFd(int fd) { return fd >= 0 && fd < kMaxTracked && tracked[fd].load(); }

// Counts a watched call; true when it is the one to fail (errno is then set).
bool CountAndFail(const char* kind) {
  const Settings& settings = GetSettings();
  const long number = ++calls;
  const bool fail = number == settings.failAt;
  if (!settings.log.empty()) {
    static auto realOpen = Next<int (*)(const char*, int, ...)>("open");
    static auto realWrite = Next<ssize_t (*)(int, const void*, size_t)>("write");
    const int fd = realOpen(settings.log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd >= 0) {
      char line[64];
      const int n = snprintf(line, sizeof(line), "%ld %s%s\n", number, kind, fail ? " failed" : "");
      if (n > 0) (void)realWrite(fd, line, static_cast<size_t>(n));
      close(fd);
    }
  }
  if (fail) errno = settings.error;
  return fail;
}

bool OpensForWriting(int flags) { return (flags & (O_WRONLY | O_RDWR | O_CREAT)) != 0; }

int AfterOpen(int fd, bool watched) {
  if (fd >= 0 && fd < kMaxTracked) tracked[fd] = watched;
  return fd;
}

mode_t ModeOf(int flags, va_list& args) {
  return (flags & (O_CREAT | O_TMPFILE)) ? static_cast<mode_t>(va_arg(args, int)) : 0;
}

// An unnamed file (O_TMPFILE) is opened by its folder's name, which may be the watched folder.
bool WatchedOpen(const char* path, int flags) {
  if (!OpensForWriting(flags) || !path) return false;
  return (flags & O_TMPFILE) == O_TMPFILE ? Watched((std::string(path) + "/").c_str())
                                          : Watched(path);
}

int OpenWith(const char* name, const char* path, int flags, mode_t mode) {
  static auto realOpen = Next<int (*)(const char*, int, ...)>("open");
  static auto realOpen64 = Next<int (*)(const char*, int, ...)>("open64");
  const bool watched = WatchedOpen(path, flags);
  if (watched && CountAndFail("open")) return -1;
  const auto real = strcmp(name, "open64") == 0 ? realOpen64 : realOpen;
  return AfterOpen(real(path, flags, mode), watched);
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeOf(flags, args);
  va_end(args);
  return OpenWith("open", path, flags, mode);
}

__attribute__((visibility("default"))) int open64(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeOf(flags, args);
  va_end(args);
  return OpenWith("open64", path, flags, mode);
}

__attribute__((visibility("default"))) int openat(int dirfd, const char* path, int flags, ...) {
  static auto real = Next<int (*)(int, const char*, int, ...)>("openat");
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeOf(flags, args);
  va_end(args);
  const bool watched = (dirfd == AT_FDCWD || path[0] == '/') && WatchedOpen(path, flags);
  if (watched && CountAndFail("open")) return -1;
  return AfterOpen(real(dirfd, path, flags, mode), watched);
}

__attribute__((visibility("default"))) int creat(const char* path, mode_t mode) {
  return open(path, O_WRONLY | O_CREAT | O_TRUNC, mode);
}

__attribute__((visibility("default"))) ssize_t write(int fd, const void* data, size_t size) {
  static auto real = Next<ssize_t (*)(int, const void*, size_t)>("write");
  if (TrackedFd(fd) && CountAndFail("write")) return -1;
  return real(fd, data, size);
}

__attribute__((visibility("default"))) int fsync(int fd) {
  static auto real = Next<int (*)(int)>("fsync");
  if (TrackedFd(fd) && CountAndFail("fsync")) return -1;
  return real(fd);
}

__attribute__((visibility("default"))) int fdatasync(int fd) {
  static auto real = Next<int (*)(int)>("fdatasync");
  if (TrackedFd(fd) && CountAndFail("fsync")) return -1;
  return real(fd);
}

__attribute__((visibility("default"))) int close(int fd) {
  static auto real = Next<int (*)(int)>("close");
  if (fd >= 0 && fd < kMaxTracked) tracked[fd] = false;
  return real(fd);
}

__attribute__((visibility("default"))) int rename(const char* from, const char* to) {
  static auto real = Next<int (*)(const char*, const char*)>("rename");
  if ((Watched(from) || Watched(to)) && CountAndFail("rename")) return -1;
  return real(from, to);
}

__attribute__((visibility("default"))) int renameat(int fromDir, const char* from, int toDir,
                                                    const char* to) {
  static auto real = Next<int (*)(int, const char*, int, const char*)>("renameat");
  if ((Watched(from) || Watched(to)) && CountAndFail("rename")) return -1;
  return real(fromDir, from, toDir, to);
}

__attribute__((visibility("default"))) int renameat2(int fromDir, const char* from, int toDir,
                                                     const char* to, unsigned flags) {
  static auto real = Next<int (*)(int, const char*, int, const char*, unsigned)>("renameat2");
  if ((Watched(from) || Watched(to)) && CountAndFail("rename")) return -1;
  return real(fromDir, from, toDir, to, flags);
}

__attribute__((visibility("default"))) int linkat(int fromDir, const char* from, int toDir,
                                                  const char* to, int flags) {
  static auto real = Next<int (*)(int, const char*, int, const char*, int)>("linkat");
  // Only the naming of an unnamed file: a second link to an existing file has a fallback (a
  // move) for file systems without links, so its failure is no failure of the write.
  const bool naming = (flags & AT_EMPTY_PATH) || strncmp(from, "/proc/self/fd/", 14) == 0;
  if (naming && toDir == AT_FDCWD && Watched(to) && CountAndFail("link")) return -1;
  return real(fromDir, from, toDir, to, flags);
}

}  // extern "C"
