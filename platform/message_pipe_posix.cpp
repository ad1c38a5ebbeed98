#include "platform/message_pipe.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>
#include <vector>

#include "common/pipe_protocol.h"
#include "platform/unique_fd.h"

namespace rigwright {
namespace {

std::string PosixError(const std::string& context, int err) {
  return context + ": " + std::generic_category().message(err);
}

// The user's private folder for pipe sockets, with a trailing '/'.
std::string RuntimeFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) {
    std::string folder(runtime);
    if (folder.back() != '/') folder += '/';
    return folder + "rigwright/";
  }
  std::error_code ignored;
  std::string temp = std::filesystem::temp_directory_path(ignored).string();
  if (temp.empty()) temp = "/tmp";
  if (temp.back() != '/') temp += '/';
  return temp + "rigwright-" + std::to_string(::getuid()) + "/";
}

// Anyone who could write into the folder could put their own socket in place of ours. The folder
// itself must not be a symbolic link: in a shared temporary folder another user could plant one
// under our folder's name, pointing at some private folder of ours now and elsewhere later. A
// trailing '/' would make lstat follow such a link, so it is left off.
bool IsPrivateFolder(const std::string& folder, std::string* error) {
  std::string entry = folder;
  while (entry.size() > 1 && entry.back() == '/') entry.pop_back();
  struct stat info {};
  if (::lstat(entry.c_str(), &info) != 0) {
    *error = PosixError("cannot inspect pipe folder " + folder, errno);
    return false;
  }
  if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid() || (info.st_mode & 077) != 0) {
    *error = "pipe folder " + folder +
             " is not a directory owned by this user without group or other access";
    return false;
  }
  return true;
}

bool MakePrivateFolder(const std::string& folder, std::string* error) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    *error = PosixError("cannot create pipe folder " + folder, errno);
    return false;
  }
  return IsPrivateFolder(folder, error);
}

bool FillAddress(const std::string& path, sockaddr_un* address) {
  std::memset(address, 0, sizeof(*address));
  address->sun_family = AF_UNIX;
  if (path.size() >= sizeof(address->sun_path)) return false;
  std::memcpy(address->sun_path, path.data(), path.size());
  return true;
}

UniqueFd NewSocket() { return UniqueFd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0)); }

// A connected socket to `path`, or an invalid one with errno telling why. Never waits: when the
// server's queue of clients waiting to be accepted is full the connect fails with EAGAIN at once,
// where a blocking connect would wait until the server gets round to them, without limit. The
// socket is left non-blocking.
UniqueFd ConnectWithoutWaiting(const std::string& path) {
  sockaddr_un address;
  if (!FillAddress(path, &address)) {
    errno = ENAMETOOLONG;
    return {};
  }
  UniqueFd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!fd.valid()) return {};
  int result;
  do {
    result = ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address));
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    const int reason = errno;
    fd.Reset();
    errno = reason;
  }
  return fd;
}

// Whether the process at the other end runs as our user. A server's credentials are those of
// the process that made it listen; a client's those of the process that connected.
bool PeerIsThisUser(int fd) {
  ucred peer{};
  socklen_t size = sizeof(peer);
  return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::getuid();
}

// The exchange after connecting waits as long as it takes: the reply to an STL request comes
// only when the user has finished in the picker.
bool MakeBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  return flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

// Raised once by a server's Wake(). Shared with the connections the server accepted, so that
// their reads end too and may outlive the server.
class WakeSignal {
 public:
  WakeSignal(UniqueFd read, UniqueFd write) : read_(std::move(read)), write_(std::move(write)) {}

  // The byte written is never read, so the read end stays readable for every later wait.
  void Raise() {
    raised_ = true;
    const char byte = 1;
    [[maybe_unused]] ssize_t ignored = ::write(write_.get(), &byte, 1);
  }
  bool raised() const { return raised_; }
  // Readable once raised; for poll().
  int fd() const { return read_.get(); }

 private:
  UniqueFd read_;
  UniqueFd write_;
  std::atomic<bool> raised_{false};
};

class PosixPipeConnection final : public PipeConnection {
 public:
  // `wake` is the signal of the server that accepted the connection; null for a client's.
  explicit PosixPipeConnection(UniqueFd fd, std::shared_ptr<const WakeSignal> wake = nullptr)
      : fd_(std::move(fd)), wake_(std::move(wake)) {
    // Credentials come with every message but not with the end of the stream, which tells an
    // empty message from a closed connection.
    const int on = 1;
    ::setsockopt(fd_.get(), SOL_SOCKET, SO_PASSCRED, &on, sizeof(on));
  }

  bool Write(std::string_view message) override {
    ssize_t sent;
    do {
      sent = ::send(fd_.get(), message.data(), message.size(), MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(message.size());
  }

  PipeReadResult Read(std::size_t maxBytes, std::string* message) override {
    PipeReadResult result;
    while (!Receive(maxBytes, 0, message, &result)) {
    }
    return result;
  }

  PipeReadResult ReadWithin(std::size_t maxBytes, std::chrono::milliseconds limit,
                            std::string* message) override {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
      if (wake_ && wake_->raised()) return PipeReadResult::kWoken;
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd waits[2] = {{fd_.get(), POLLIN, 0}, {wake_ ? wake_->fd() : -1, POLLIN, 0}};
      const int ready = ::poll(waits, 2, static_cast<int>(std::max<long long>(left.count(), 0)));
      if (ready < 0) {
        if (errno == EINTR) continue;
        return PipeReadResult::kFailed;
      }
      if (waits[1].revents & POLLIN) return PipeReadResult::kWoken;
      PipeReadResult result;
      // A message, the end of the connection or an error: the receive tells which.
      if (waits[0].revents != 0 && Receive(maxBytes, MSG_DONTWAIT, message, &result)) {
        return result;
      }
      if (left.count() <= 0) return PipeReadResult::kTimedOut;
    }
  }

 private:
  // One receive with `flags`. False when it has to be tried again: interrupted, or nothing there
  // after all for a receive that does not wait.
  bool Receive(std::size_t maxBytes, int flags, std::string* message, PipeReadResult* result) {
    std::vector<char> buffer(maxBytes + 1);
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
    iovec part{buffer.data(), buffer.size()};
    msghdr header{};
    header.msg_iov = &part;
    header.msg_iovlen = 1;
    header.msg_control = control;
    header.msg_controllen = sizeof(control);
    const ssize_t received = ::recvmsg(fd_.get(), &header, MSG_TRUNC | MSG_CMSG_CLOEXEC | flags);
    if (received < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) return false;
      *result = PipeReadResult::kFailed;
    } else if (received == 0 && header.msg_controllen == 0) {
      *result = PipeReadResult::kClosed;
    } else if (static_cast<std::size_t>(received) > maxBytes) {
      *result = PipeReadResult::kTooLong;
    } else {
      message->assign(buffer.data(), static_cast<std::size_t>(received));
      *result = PipeReadResult::kMessage;
    }
    return true;
  }

  UniqueFd fd_;
  std::shared_ptr<const WakeSignal> wake_;
};

class PosixPipeServer final : public PipeServer {
 public:
  PosixPipeServer(UniqueFd listener, UniqueFd wakeRead, UniqueFd wakeWrite, std::string path)
      : listener_(std::move(listener)),
        wake_(std::make_shared<WakeSignal>(std::move(wakeRead), std::move(wakeWrite))),
        path_(std::move(path)) {}

  ~PosixPipeServer() override { ::unlink(path_.c_str()); }

  std::unique_ptr<PipeConnection> Accept() override {
    while (!wake_->raised()) {
      pollfd waits[2] = {{listener_.get(), POLLIN, 0}, {wake_->fd(), POLLIN, 0}};
      if (::poll(waits, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return nullptr;
      }
      if (wake_->raised() || (waits[1].revents & POLLIN)) break;
      UniqueFd client(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
      if (!client.valid()) {
        if (errno == EINTR || errno == ECONNABORTED || errno == EAGAIN) continue;
        return nullptr;
      }
      if (PeerIsThisUser(client.get())) {
        return std::make_unique<PosixPipeConnection>(std::move(client), wake_);
      }
    }
    return nullptr;
  }

  void Wake() override { wake_->Raise(); }

 private:
  UniqueFd listener_;
  std::shared_ptr<WakeSignal> wake_;
  std::string path_;
};

// A socket file nobody listens on is left over from a server that ended without cleaning up.
bool RemoveIfStale(const std::string& path) {
  if (ConnectWithoutWaiting(path).valid()) return false;
  return errno == ECONNREFUSED && ::unlink(path.c_str()) == 0;
}

bool BindAndListen(int fd, const std::string& path, std::string* error) {
  sockaddr_un address;
  FillAddress(path, &address);
  auto bind = [&] {
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
  };
  int result = bind();
  if (result != 0 && errno == EADDRINUSE && RemoveIfStale(path)) result = bind();
  if (result != 0) {
    *error = errno == EADDRINUSE ? "another server already listens on pipe " + path
                                 : PosixError("cannot create pipe " + path, errno);
    return false;
  }
  if (::listen(fd, 4) != 0) {
    *error = PosixError("cannot listen on pipe " + path, errno);
    ::unlink(path.c_str());
    return false;
  }
  return true;
}

}  // namespace

std::string PipeSocketPath(std::string_view pipeName, std::string* error) {
  const std::string_view name = PipeNameAfterPrefix(pipeName, error);
  if (name.empty()) return {};
  std::string path = RuntimeFolder() + std::string(name);
  if (path.size() >= sizeof(sockaddr_un::sun_path)) {
    *error = "pipe socket path " + path + " is too long";
    return {};
  }
  return path;
}

std::unique_ptr<PipeServer> ListenOnPipe(std::string_view pipeName, std::string* error) {
  const std::string path = PipeSocketPath(pipeName, error);
  if (path.empty() || !MakePrivateFolder(RuntimeFolder(), error)) return nullptr;
  UniqueFd listener = NewSocket();
  int wake[2];
  if (!listener.valid() || ::pipe2(wake, O_CLOEXEC) != 0) {
    *error = PosixError("cannot create pipe " + path, errno);
    return nullptr;
  }
  UniqueFd wakeRead(wake[0]), wakeWrite(wake[1]);
  if (!BindAndListen(listener.get(), path, error)) return nullptr;
  return std::make_unique<PosixPipeServer>(std::move(listener), std::move(wakeRead),
                                           std::move(wakeWrite), path);
}

std::unique_ptr<PipeConnection> ConnectToPipeWhenFree(std::string_view pipeName,
                                                      std::chrono::milliseconds limit) {
  std::string error;
  const std::string path = PipeSocketPath(pipeName, &error);
  if (path.empty() || !IsPrivateFolder(RuntimeFolder(), &error)) return nullptr;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  UniqueFd fd = ConnectWithoutWaiting(path);
  // A full queue of clients waiting to be accepted is a busy server.
  while (!fd.valid() && errno == EAGAIN && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    fd = ConnectWithoutWaiting(path);
  }
  if (!fd.valid() || !PeerIsThisUser(fd.get()) || !MakeBlocking(fd.get())) return nullptr;
  return std::make_unique<PosixPipeConnection>(std::move(fd));
}

}  // namespace rigwright
