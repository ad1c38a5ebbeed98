// A local message pipe between two processes of the same user: every write is one message and
// every read returns one whole message, so neither side needs headers or terminators.
//
// A pipe is known by its described name, "\\.\pipe\" followed by NAME. The server listens on a
// socket named NAME inside a private runtime folder of the user; the client finds it there. The
// folder must be a directory owned by the user with no group or other access, else the pipe is
// treated as unusable on both sides.
//
// On Windows the pipe is the system's named pipe of that very name, of one instance that only our
// user may open; "socket path" then means that name (at most 256 characters), and a server
// serves one connection at a time: a client that comes meanwhile finds the pipe busy.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace rigwright {

// Where the socket of `pipeName` lives, or an empty text (and `error` set) when the name is not a
// pipe name this platform can carry: it lacks the "\\.\pipe\" prefix, or NAME is empty, "." or
// "..", holds '/' or '\', or is too long for a socket address.
std::string PipeSocketPath(std::string_view pipeName, std::string* error);

enum class PipeReadResult {
  kMessage,  // one whole message was read (it may be empty)
  kTooLong,  // the message was longer than the reader allowed; it is discarded
  kClosed,   // the other end closed without sending anything more
  kFailed,   // the system reported an error
  // No message arrived within the time limit; the connection stays open.
  kTimedOut,
  // The server that accepted the connection was woken: its owner is shutting it down.
  kWoken,
};

// One connection. Closing it (destroying the object) ends the connection for both sides.
class PipeConnection {
 public:
  virtual ~PipeConnection() = default;
  // Sends `message` as one message. False when the connection is gone or the system refused.
  virtual bool Write(std::string_view message) = 0;
  // Blocks until one message arrives and stores at most `maxBytes` of it in `message`.
  virtual PipeReadResult Read(std::size_t maxBytes, std::string* message) = 0;
  // Read with a time limit: kTimedOut when no message has arrived within `limit`. On a
  // connection that a server accepted, the server's Wake() also ends the wait (kWoken), so that
  // the server's owner never waits for a client that stays silent.
  virtual PipeReadResult ReadWithin(std::size_t maxBytes, std::chrono::milliseconds limit,
                                    std::string* message) = 0;
  // Lets the process at the other end bring its windows to the foreground while this process's
  // window is there: Windows refuses a process the foreground unless the one there allows it.
  // Nothing to do where the system has no such rule.
  virtual void AllowPeerToTakeForeground() {}
};

// The listening end. Thread safety: Wake() may be called from any thread while another thread
// waits in Accept() or in ReadWithin() of a connection the server accepted; nothing else may be
// called concurrently.
class PipeServer {
 public:
  virtual ~PipeServer() = default;  // stops listening and removes the socket
  // Blocks until a client of the same user connects, and returns its connection. Returns null
  // once Wake() has been called (also for every later call) or when the system reports an error.
  virtual std::unique_ptr<PipeConnection> Accept() = 0;
  // Makes a waiting Accept() return null at once, and a waiting ReadWithin() of a connection it
  // accepted return kWoken; later calls of either return so without waiting.
  virtual void Wake() = 0;
};

// Creates the runtime folder if needed, checks it, and listens on `pipeName`. Fails (null, with
// `error` naming the socket and the reason) when another server already listens on that name.
std::unique_ptr<PipeServer> ListenOnPipe(std::string_view pipeName, std::string* error);

// Connects as ConnectToPipe (below) does, but a server that is busy with another client is given
// up to `limit` to become free. A pipe that no server listens on still fails at once.
std::unique_ptr<PipeConnection> ConnectToPipeWhenFree(std::string_view pipeName,
                                                      std::chrono::milliseconds limit);

// Connects to the server of `pipeName` without waiting. Null when no server listens, the server
// is busy (its queue of clients waiting to be accepted is full), the server runs as another user,
// the name is refused, or the runtime folder fails the check (a symbolic link fails it too). Once
// connected, reads wait for the server's answer without a time limit.
inline std::unique_ptr<PipeConnection> ConnectToPipe(std::string_view pipeName) {
  return ConnectToPipeWhenFree(pipeName, std::chrono::milliseconds(0));
}

}  // namespace rigwright
