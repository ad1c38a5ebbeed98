#include "addin/pipe_link.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <thread>
#include <utility>

#include "common/machine_folder.h"
#include "common/path_text.h"
#include "common/pipe_protocol.h"

namespace rigwright {
namespace {

// How long the server thread rests after the system refused a connection, so that a lasting
// error does not keep a core busy.
constexpr auto kRetryPause = std::chrono::milliseconds(50);

// How often destruction cancels requests while it waits for the server thread to end.
constexpr auto kCancelInterval = std::chrono::milliseconds(10);

std::string LeftOutMessage(int entriesLeftOut) {
  return "The editor can take only part of the STL files you chose. " +
         std::to_string(entriesLeftOut) + (entriesLeftOut == 1 ? " file was" : " files were") +
         " left out; choose fewer levels or shorter names and add them in a second step.";
}

bool IsAbsoluteFolder(std::string_view text) {
  if (text.empty()) return false;
  try {
    return PathFromUtf8(text).is_absolute() && IsExistingFolder(text);
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

std::string PipeNameFromGuid(const Guid& guid) {
  char digits[33];
  std::snprintf(digits, sizeof(digits), "%08X%04X%04X%02X%02X%02X%02X%02X%02X%02X%02X",
                static_cast<unsigned>(guid.data1), static_cast<unsigned>(guid.data2),
                static_cast<unsigned>(guid.data3), guid.data4[0], guid.data4[1], guid.data4[2],
                guid.data4[3], guid.data4[4], guid.data4[5], guid.data4[6], guid.data4[7]);
  return std::string(kPipeNamePrefix) + digits;
}

std::string MakePipeName() {
  Guid guid;
  // Without a random source the name is all zeros: a second add-in on the same name is then
  // refused its pipe instead of taking over the first one's.
  NewRandomGuid(&guid);
  return PipeNameFromGuid(guid);
}

std::string_view MessageText(std::string_view message) {
  return message.substr(0, message.find('\0'));
}

PipeLink::PipeLink(LaunchValues values, std::string pipeName, Notify notify)
    : values_(std::move(values)), pipeName_(std::move(pipeName)), notify_(std::move(notify)) {
  server_ = ListenOnPipe(pipeName_, &pipeError_);
  if (!server_) return;
  std::string error;
  serverThread_ = StartBackgroundTask([this] { ServeRequests(); }, &error);
  if (!serverThread_) {
    pipeError_ = "the pipe cannot be served: " + error;
    server_.reset();  // a wrapper must not connect to a pipe nobody serves
  }
}

PipeLink::~PipeLink() {
  running_ = false;
  if (serverThread_) {
    server_->Wake();
    // A request may wait for a user who will not answer now; it may also begin just after a
    // cancel, so cancel until the thread has ended.
    const std::future<void> served = served_.get_future();
    while (served.wait_for(kCancelInterval) != std::future_status::ready) {
      // A loop that has not begun is not waited for: its thread may never come while the system
      // holds its loader lock (a Windows unload), and, begun now, it ends at once.
      if (!started_) break;
      CancelOpenRequests();
    }
    serverThread_.reset();
  }
  server_.reset();
  wrapper_.reset();
  std::lock_guard lock(handlerMutex_);
  retired_.clear();
  handler_.reset();
}

void PipeLink::ReplaceHandler(std::shared_ptr<StlRequestHandler> handler) {
  std::shared_ptr<StlRequestHandler> previous;
  {
    std::lock_guard lock(handlerMutex_);
    previous = std::exchange(handler_, std::move(handler));
    if (previous) retired_.push_back(previous);
  }
  if (previous) previous->CancelRequest();
  previous.reset();
  ReleaseIdleHandlers();
}

// Runs `use` on the current handler, if there is one. The handler is given back under the lock,
// so that ReleaseIdleHandlers sees its count fall only after every use on this thread is over;
// this thread is never its last owner, since handler_ or retired_ holds it too.
template <typename Use>
void PipeLink::WithHandler(Use&& use) {
  std::shared_ptr<StlRequestHandler> handler;
  {
    std::lock_guard lock(handlerMutex_);
    handler = handler_;
  }
  if (!handler) return;
  struct GiveBack {
    PipeLink* link;
    std::shared_ptr<StlRequestHandler>& handler;
    ~GiveBack() {
      std::lock_guard lock(link->handlerMutex_);
      handler.reset();
    }
  } giveBack{this, handler};
  use(*handler);
}

void PipeLink::ServeRequests() {
  started_ = true;
  while (running_) {
    try {
      std::unique_ptr<PipeConnection> connection = server_->Accept();
      if (connection) {
        ServeConnection(*connection);
      } else if (running_) {
        std::this_thread::sleep_for(kRetryPause);
      }
    } catch (...) {
      // Nothing may leave this thread: the connection is dropped and the link goes on.
    }
  }
  served_.set_value();
}

void PipeLink::ServeConnection(PipeConnection& connection) {
  std::string message;
  // A message that is too long, a client that left or stays without a word, or a link that is
  // going away: no answer.
  if (connection.ReadWithin(kMaxMessageBytes, kClientMessageWait, &message) !=
      PipeReadResult::kMessage) {
    return;
  }
  const std::string_view text = MessageText(message);
  if (text == kStlRequest) {
    AnswerStlRequest(connection);
  } else {
    TakeWorkingFolder(text);
  }
}

void PipeLink::AnswerStlRequest(PipeConnection& connection) {
  std::string reply;
  WithHandler([&](StlRequestHandler& handler) {
    if (running_) reply = handler.RequestStlPath();
  });
  // A request the unloading add-in cancelled was not answered by the user: an empty reply would
  // tell the editor "nothing chosen". Without any reply the wrapper offers its own file dialog.
  if (!running_ && reply.empty()) return;
  // The wrapper's buffer ends after 10239 bytes; half a path in it would name a wrong file.
  const FittedStlReply fitted = FitStlReply(reply);
  connection.Write(fitted.text);
  if (fitted.entriesLeftOut > 0 && notify_) notify_(LeftOutMessage(fitted.entriesLeftOut));
}

// Generated files land in this folder, so only a folder that exists and does not depend on the
// host's current directory is taken; anything else leaves the handler's folder as it was.
void PipeLink::TakeWorkingFolder(std::string_view text) {
  if (!IsAbsoluteFolder(text)) return;
  const std::string folder = WithTrailingSeparator(text);
  WithHandler([&](StlRequestHandler& handler) { handler.SetStlFolder(folder); });
}

void PipeLink::ReleaseIdleHandlers() {
  std::vector<std::shared_ptr<StlRequestHandler>> idle;
  {
    std::lock_guard lock(handlerMutex_);
    std::vector<std::shared_ptr<StlRequestHandler>> inUse;
    for (auto& handler : retired_) {
      (handler.use_count() == 1 ? idle : inUse).push_back(std::move(handler));
    }
    retired_ = std::move(inUse);
  }
  // `idle` goes here, on the caller's thread and outside the lock.
}

void PipeLink::CancelOpenRequests() {
  std::vector<std::shared_ptr<StlRequestHandler>> handlers;
  {
    std::lock_guard lock(handlerMutex_);
    handlers = retired_;
    if (handler_) handlers.push_back(handler_);
  }
  for (const auto& handler : handlers) handler->CancelRequest();
}

}  // namespace rigwright
