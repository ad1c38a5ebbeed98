// What the add-in and the wrapper say to each other over their pipe. Each connection carries one
// message from the wrapper and at most one reply; messages have no header or terminator.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace rigwright {

// Every pipe name starts with this; the rest names the pipe.
inline constexpr std::string_view kPipeNamePrefix = "\\\\.\\pipe\\";

// The wrapper's pipe name when it is started without "--pipeName=". No add-in listens on it.
inline constexpr std::string_view kDefaultPipeName = "\\\\.\\pipe\\OrvaneRigwrightPipe";

// NAME of the pipe name "\\.\pipe\NAME", or an empty text (and `error` set) when `pipeName` lacks
// the prefix or NAME cannot name a pipe on every platform: it is empty, "." or "..", or holds '/'
// or '\'.
std::string_view PipeNameAfterPrefix(std::string_view pipeName, std::string* error);

// The wrapper's request for STL files; the whole message, 13 bytes.
inline constexpr std::string_view kStlRequest = "Need stl path";

// The engine's STL buffer, terminating zero included, and so the longest reply it can take.
inline constexpr std::size_t kStlBufferSize = 10240;
inline constexpr std::size_t kMaxMessageBytes = kStlBufferSize - 1;  // 10239

// How long the add-in gives a client that has connected to send its message. The wrapper writes
// right after connecting, so this only ends a connection that would otherwise keep every later
// client waiting.
inline constexpr std::chrono::milliseconds kClientMessageWait{2000};

// How long the wrapper waits for an add-in that is busy with another connection: it serves one at
// a time. Longer than a silent client may hold the add-in, so that such a client cannot turn the
// wrapper's message away (on Windows a pipe busy with one client refuses the next).
inline constexpr std::chrono::milliseconds kBusyPipeWait{5000};
static_assert(kBusyPipeWait > 2 * kClientMessageWait);

// Entries of an STL reply are joined by this.
inline constexpr char kStlEntrySeparator = ';';

// The message that refuses a chosen STL file whose path holds the entry separator, naming it: the
// editor would split the path into broken entries. Empty when the path can be passed. Both ends
// offer a choice of files, so both refuse such a file and let the user choose again.
std::string StlPathRefusal(std::string_view path);

struct FittedStlReply {
  std::string text;        // whole entries only, at most the limit in bytes
  int entriesLeftOut = 0;  // entries of the original that did not fit
};

// Cuts `reply` after the last whole entry that fits in `limit` bytes, so that no receiver ever
// sees half a path. A reply that fits is returned unchanged.
FittedStlReply FitStlReply(std::string_view reply, std::size_t limit = kMaxMessageBytes);

// The entries of a reply joined the way the wire carries them.
std::string JoinStlEntries(const std::vector<std::string>& entries);

}  // namespace rigwright
