// Windows: the system's own named pipe "\\.\pipe\NAME", in message type and read mode, with one
// instance. The server's instance is connected to one client at a time; a client that comes
// while it is taken finds the pipe busy and is not kept waiting.
//
// Both ends use overlapped I/O, so that every wait is a wait on events: the operation's own and,
// on the server's side, the server's wake event. That makes Wake() end a waiting connect or read
// at once, from any thread and also when it comes just before the wait begins (a cancel aimed at
// a thread can miss a thread that has not entered its call yet), and it gives reads their time
// limit without a timer thread.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <vector>

#include "common/pipe_protocol.h"
#include "platform/message_pipe.h"
#include "platform/text_win32.h"
#include "platform/unique_handle_win32.h"

namespace rigwright {
namespace {

constexpr DWORD kBufferBytes = 4096;  // each way
// The longest name the system takes for a pipe, prefix included.
constexpr std::size_t kMaxPipeNameLength = 256;
// How long a server waits, after it wrote on a connection, for the client to take what it wrote
// and close its end. Disconnecting earlier would throw away a reply the client has not read yet.
constexpr DWORD kPickupWaitMs = 10000;

// The security identifier of the user a process runs as; empty when it cannot be told.
std::vector<BYTE> UserOfToken(HANDLE token) {
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (size == 0 || !::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return {};
  const PSID sid = reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid;
  if (!::IsValidSid(sid)) return {};
  const BYTE* bytes = static_cast<const BYTE*>(sid);
  return std::vector<BYTE>(bytes, bytes + ::GetLengthSid(sid));
}

std::vector<BYTE> UserOfProcess(HANDLE process) {
  HANDLE raw = nullptr;
  if (!::OpenProcessToken(process, TOKEN_QUERY, &raw)) return {};
  const UniqueHandle token(raw);
  return UserOfToken(token.get());
}

const std::vector<BYTE>& ThisUser() {
  static const std::vector<BYTE> user = UserOfProcess(::GetCurrentProcess());
  return user;
}

// Whether process `id` runs as our user. A process that has ended, or that we may not look at,
// does not.
bool ProcessIsThisUser(ULONG id) {
  const UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
  if (!process.valid() || ThisUser().empty()) return false;
  return UserOfProcess(process.get()) == ThisUser();
}

bool IsRaised(HANDLE event) { return event && ::WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

// How one overlapped operation ended.
struct IoOutcome {
  enum Kind { kCompleted, kWoken, kTimedOut, kFailed } kind;
  bool ok = false;  // kCompleted: the operation succeeded
  DWORD error = 0;  // kCompleted: why it failed
  DWORD bytes = 0;  // kCompleted: bytes moved, also for a message that did not fit
};

// One overlapped operation: its structure with an event of its own.
class Overlapped {
 public:
  Overlapped() : event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    io_.hEvent = event_.get();
  }
  Overlapped(const Overlapped&) = delete;
  Overlapped& operator=(const Overlapped&) = delete;

  bool valid() const { return event_.valid(); }
  OVERLAPPED* get() { return &io_; }

  // Waits for the operation that the call returning `started` began on `handle`, until it
  // completes, `wake` (may be null) is raised or `limitMs` passes. An operation that is given up
  // is cancelled and waited for, since the system writes into this structure until it ends; one
  // that completed after all, just before the cancel, counts as completed, so that nothing it
  // read is lost.
  IoOutcome Finish(HANDLE handle, BOOL started, HANDLE wake, DWORD limitMs) {
    if (!started && ::GetLastError() != ERROR_IO_PENDING) {
      return {IoOutcome::kCompleted, false, ::GetLastError(), 0};
    }
    IoOutcome outcome{IoOutcome::kCompleted};
    if (!started) {
      const HANDLE waits[2] = {io_.hEvent, wake};
      const DWORD waited = ::WaitForMultipleObjects(wake ? 2 : 1, waits, FALSE, limitMs);
      if (waited == WAIT_OBJECT_0 + 1) {
        outcome.kind = IoOutcome::kWoken;
      } else if (waited == WAIT_TIMEOUT) {
        outcome.kind = IoOutcome::kTimedOut;
      } else if (waited != WAIT_OBJECT_0) {
        outcome.kind = IoOutcome::kFailed;
      }
      if (outcome.kind != IoOutcome::kCompleted) ::CancelIoEx(handle, &io_);
    }
    outcome.ok = ::GetOverlappedResult(handle, &io_, &outcome.bytes, TRUE);
    outcome.error = outcome.ok ? 0 : ::GetLastError();
    if (outcome.ok || outcome.error != ERROR_OPERATION_ABORTED)
      outcome.kind = IoOutcome::kCompleted;
    return outcome;
  }

 private:
  UniqueHandle event_;
  OVERLAPPED io_{};
};

// The server's pipe instance and its wake event, shared with the connection it accepted, which
// may outlive the server.
struct ServerInstance {
  UniqueHandle pipe;
  UniqueHandle wake;  // manual reset: once raised, it stays raised
  std::atomic<bool> connectionOpen{false};
};

bool IsGone(DWORD error) {
  return error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED || error == ERROR_NO_DATA;
}

class Win32PipeConnection final : public PipeConnection {
 public:
  // A client's connection.
  explicit Win32PipeConnection(UniqueHandle pipe) : own_(std::move(pipe)), pipe_(own_.get()) {}
  // The connection a server accepted on its instance.
  explicit Win32PipeConnection(std::shared_ptr<ServerInstance> server)
      : pipe_(server->pipe.get()), server_(std::move(server)) {}

  ~Win32PipeConnection() override {
    if (!server_) return;  // closing a client's handle keeps what it wrote for the server
    if (wrote_) AwaitPickup();
    ::DisconnectNamedPipe(pipe_);
    server_->connectionOpen = false;
  }

  bool Write(std::string_view message) override {
    Overlapped io;
    if (!io.valid() || message.size() > ULONG_MAX) return false;
    const DWORD size = static_cast<DWORD>(message.size());
    const BOOL started = ::WriteFile(pipe_, message.data(), size, nullptr, io.get());
    const IoOutcome outcome = io.Finish(pipe_, started, wake(), INFINITE);
    const bool written =
        outcome.kind == IoOutcome::kCompleted && outcome.ok && outcome.bytes == size;
    wrote_ = wrote_ || written;
    return written;
  }

  PipeReadResult Read(std::size_t maxBytes, std::string* message) override {
    return Receive(maxBytes, INFINITE, nullptr, message);
  }

  PipeReadResult ReadWithin(std::size_t maxBytes, std::chrono::milliseconds limit,
                            std::string* message) override {
    if (IsRaised(wake())) return PipeReadResult::kWoken;
    const auto ms = std::clamp<long long>(limit.count(), 0, INFINITE - 1);
    return Receive(maxBytes, static_cast<DWORD>(ms), wake(), message);
  }

  void AllowPeerToTakeForeground() override {
    ULONG peer = 0;
    const BOOL known = server_ ? ::GetNamedPipeClientProcessId(pipe_, &peer)
                               : ::GetNamedPipeServerProcessId(pipe_, &peer);
    if (known) ::AllowSetForegroundWindow(peer);  // refused when not in front: nothing to allow
  }

 private:
  HANDLE wake() const { return server_ ? server_->wake.get() : nullptr; }

  PipeReadResult Receive(std::size_t maxBytes, DWORD limitMs, HANDLE wake, std::string* message) {
    maxBytes = std::min<std::size_t>(maxBytes, ULONG_MAX);
    std::vector<char> buffer(std::max<std::size_t>(maxBytes, 1));
    Overlapped io;
    if (!io.valid()) return PipeReadResult::kFailed;
    const BOOL started =
        ::ReadFile(pipe_, buffer.data(), static_cast<DWORD>(maxBytes), nullptr, io.get());
    const IoOutcome outcome = io.Finish(pipe_, started, wake, limitMs);
    switch (outcome.kind) {
      case IoOutcome::kWoken:
        return PipeReadResult::kWoken;
      case IoOutcome::kTimedOut:
        return PipeReadResult::kTimedOut;
      case IoOutcome::kFailed:
        return PipeReadResult::kFailed;
      case IoOutcome::kCompleted:
        break;
    }
    if (outcome.ok) {
      message->assign(buffer.data(), outcome.bytes);
      return PipeReadResult::kMessage;
    }
    if (outcome.error == ERROR_MORE_DATA) {
      return DropRestOfMessage() ? PipeReadResult::kTooLong : PipeReadResult::kFailed;
    }
    return IsGone(outcome.error) ? PipeReadResult::kClosed : PipeReadResult::kFailed;
  }

  // Reads and throws away what is left of a message that did not fit; it is on its way already.
  bool DropRestOfMessage() {
    std::vector<char> buffer(kBufferBytes);
    for (;;) {
      Overlapped io;
      if (!io.valid()) return false;
      const BOOL started = ::ReadFile(pipe_, buffer.data(), kBufferBytes, nullptr, io.get());
      const IoOutcome outcome = io.Finish(pipe_, started, wake(), INFINITE);
      if (outcome.kind != IoOutcome::kCompleted) return false;
      if (outcome.ok) return true;
      if (outcome.error != ERROR_MORE_DATA) return false;
    }
  }

  // Waits until the client has closed its end (it reads its reply first), the time for that has
  // passed or the server is woken. Messages the client sends meanwhile are dropped: a connection
  // carries one message from the client.
  void AwaitPickup() {
    const ULONGLONG deadline = ::GetTickCount64() + kPickupWaitMs;
    std::vector<char> buffer(kBufferBytes);
    for (;;) {
      const ULONGLONG now = ::GetTickCount64();
      if (now >= deadline) return;
      Overlapped io;
      if (!io.valid()) return;
      const BOOL started = ::ReadFile(pipe_, buffer.data(), kBufferBytes, nullptr, io.get());
      const IoOutcome outcome =
          io.Finish(pipe_, started, wake(), static_cast<DWORD>(deadline - now));
      if (outcome.kind != IoOutcome::kCompleted) return;
      if (!outcome.ok && outcome.error != ERROR_MORE_DATA) return;  // closed, or gone wrong
    }
  }

  UniqueHandle own_;  // a client's handle; empty for a server's connection
  HANDLE pipe_;
  std::shared_ptr<ServerInstance> server_;
  bool wrote_ = false;
};

class Win32PipeServer final : public PipeServer {
 public:
  explicit Win32PipeServer(std::shared_ptr<ServerInstance> instance)
      : instance_(std::move(instance)) {}

  // One connection at a time: the instance is the connection.
  std::unique_ptr<PipeConnection> Accept() override {
    for (;;) {
      if (IsRaised(instance_->wake.get()) || instance_->connectionOpen) return nullptr;
      Overlapped io;
      if (!io.valid()) return nullptr;
      HANDLE pipe = instance_->pipe.get();
      const BOOL started = ::ConnectNamedPipe(pipe, io.get());
      const IoOutcome outcome = io.Finish(pipe, started, instance_->wake.get(), INFINITE);
      if (outcome.kind != IoOutcome::kCompleted) return nullptr;
      // A client that connected before this call counts; so does one that already closed its
      // end again: what it wrote is still there to be read, and the read then finds the end.
      if (!outcome.ok && outcome.error != ERROR_PIPE_CONNECTED && outcome.error != ERROR_NO_DATA) {
        return nullptr;
      }
      ULONG client = 0;
      if (::GetNamedPipeClientProcessId(pipe, &client) && ProcessIsThisUser(client)) {
        instance_->connectionOpen = true;
        return std::make_unique<Win32PipeConnection>(instance_);
      }
      ::DisconnectNamedPipe(pipe);  // nothing of it is read
    }
  }

  void Wake() override { ::SetEvent(instance_->wake.get()); }

 private:
  std::shared_ptr<ServerInstance> instance_;
};

// A security descriptor whose access list grants the pipe to our user and nobody else.
class OnlyThisUser {
 public:
  bool Make() {
    const std::vector<BYTE>& user = ThisUser();
    if (user.empty()) return false;
    sid_ = user;
    acl_.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + sid_.size());
    return ::InitializeAcl(reinterpret_cast<ACL*>(acl_.data()), static_cast<DWORD>(acl_.size()),
                           ACL_REVISION) &&
           ::AddAccessAllowedAce(reinterpret_cast<ACL*>(acl_.data()), ACL_REVISION,
                                 GENERIC_READ | GENERIC_WRITE, sid_.data()) &&
           ::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
           ::SetSecurityDescriptorDacl(&descriptor_, TRUE, reinterpret_cast<ACL*>(acl_.data()),
                                       FALSE);
  }
  SECURITY_ATTRIBUTES* attributes() {
    attributes_ = {sizeof(attributes_), &descriptor_, FALSE};
    return &attributes_;
  }

 private:
  std::vector<BYTE> sid_;
  std::vector<BYTE> acl_;
  SECURITY_DESCRIPTOR descriptor_{};
  SECURITY_ATTRIBUTES attributes_{};
};

// The client's end once opened: message read mode, and a server that runs as our user.
std::unique_ptr<PipeConnection> ClientConnection(UniqueHandle pipe) {
  DWORD mode = PIPE_READMODE_MESSAGE;
  ULONG server = 0;
  if (!::SetNamedPipeHandleState(pipe.get(), &mode, nullptr, nullptr) ||
      !::GetNamedPipeServerProcessId(pipe.get(), &server) || !ProcessIsThisUser(server)) {
    return nullptr;
  }
  return std::make_unique<Win32PipeConnection>(std::move(pipe));
}

}  // namespace

// The pipe's path is its name; the checks keep the rules of every platform alike.
std::string PipeSocketPath(std::string_view pipeName, std::string* error) {
  if (PipeNameAfterPrefix(pipeName, error).empty()) return {};
  if (pipeName.size() > kMaxPipeNameLength) {
    *error = "pipe name \"" + std::string(pipeName) + "\" is too long";
    return {};
  }
  return std::string(pipeName);
}

std::unique_ptr<PipeServer> ListenOnPipe(std::string_view pipeName, std::string* error) {
  const std::string path = PipeSocketPath(pipeName, error);
  if (path.empty()) return nullptr;
  OnlyThisUser security;
  if (!security.Make()) {
    *error = "cannot restrict pipe " + path + " to this user: " + Win32ErrorText(::GetLastError());
    return nullptr;
  }
  auto instance = std::make_shared<ServerInstance>();
  // The first instance or nothing: a pipe of that name that exists already may be another
  // process's, waiting for our clients.
  instance->pipe.Reset(::CreateNamedPipeA(
      path.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE | FILE_FLAG_OVERLAPPED,
      PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
      kBufferBytes, kBufferBytes, 0, security.attributes()));
  if (!instance->pipe.valid()) {
    const DWORD code = ::GetLastError();
    *error = code == ERROR_ACCESS_DENIED || code == ERROR_PIPE_BUSY
                 ? "another server already listens on pipe " + path
                 : "cannot create pipe " + path + ": " + Win32ErrorText(code);
    return nullptr;
  }
  instance->wake.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!instance->wake.valid()) {
    *error = "cannot create pipe " + path + ": " + Win32ErrorText(::GetLastError());
    return nullptr;
  }
  return std::make_unique<Win32PipeServer>(std::move(instance));
}

std::unique_ptr<PipeConnection> ConnectToPipeWhenFree(std::string_view pipeName,
                                                      std::chrono::milliseconds limit) {
  std::string error;
  const std::string path = PipeSocketPath(pipeName, &error);
  if (path.empty()) return nullptr;
  const ULONGLONG deadline =
      ::GetTickCount64() + static_cast<ULONGLONG>(std::clamp<long long>(limit.count(), 0, INT_MAX));
  for (;;) {
    // The server may only identify us, never act as us.
    UniqueHandle pipe(::CreateFileA(
        path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
        FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
    if (pipe.valid()) return ClientConnection(std::move(pipe));
    if (::GetLastError() != ERROR_PIPE_BUSY) return nullptr;
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) return nullptr;
    // Returns when the instance is free again; another client may take it first, so the open is
    // tried again either way.
    if (!::WaitNamedPipeA(path.c_str(), static_cast<DWORD>(deadline - now))) ::Sleep(10);
  }
}

}  // namespace rigwright
