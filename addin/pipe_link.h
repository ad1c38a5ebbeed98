// The add-in's end of the pipe to the wrapper: one pipe per load of the add-in, served by a thread
// of its own for as long as the add-in stays loaded. Each connection carries one message from the
// wrapper: its working folder (stored in the request handler) or the STL request "Need stl path"
// (answered with the handler's STL reply). The link also keeps the launch values the wrapper is
// started with and the wrapper process started last.
#pragma once

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "addin/stl_request_handler.h"
#include "platform/background_task.h"
#include "platform/child_process.h"
#include "platform/message_pipe.h"
#include "platform/random_guid.h"

namespace rigwright {

// What every start of the wrapper is given, captured when the link is made (UTF-8).
struct LaunchValues {
  std::string wrapperPath;
  std::string language;
  std::string machineFolder;  // ends in a separator
};

// "\\.\pipe\" and the 32 upper-case hexadecimal digits of `guid`: the 32-bit field, the two
// 16-bit fields, then the eight bytes in storage order.
std::string PipeNameFromGuid(const Guid& guid);

// A pipe name from a fresh GUID, so that every load of the add-in has a pipe of its own.
std::string MakePipeName();

// The text of a message as the protocol reads it: its bytes up to the first zero byte.
std::string_view MessageText(std::string_view message);

class PipeLink {
 public:
  // Tells the user something from the server thread; must not wait for the UI thread.
  using Notify = std::function<void(std::string text)>;

  // Listens on `pipeName` and starts the server thread. When the pipe cannot be made (see
  // pipeError()), the link serves nothing and the wrapper falls back to its own file dialog.
  PipeLink(LaunchValues values, std::string pipeName, Notify notify);

  // Stops the server thread, removes the pipe and releases the handlers. A request that waits for
  // the user is ended and its connection dropped unanswered, so that the wrapper falls back to its
  // file dialog. The wrapper process is left running. Runs on the UI thread, so that
  // handlers go on the thread that made them.
  ~PipeLink();

  PipeLink(const PipeLink&) = delete;
  PipeLink& operator=(const PipeLink&) = delete;

  const LaunchValues& launchValues() const { return values_; }
  const std::string& pipeName() const { return pipeName_; }
  bool serving() const { return serverThread_ != nullptr; }
  const std::string& pipeError() const { return pipeError_; }

  // Makes `handler` the one that serves the next message. A request still waiting in the
  // previous handler is cancelled: its wrapper has ended. The previous handler is released here
  // once the server thread no longer uses it, else at a later call or at destruction; never on
  // the server thread. UI thread only.
  void ReplaceHandler(std::shared_ptr<StlRequestHandler> handler);

  // The wrapper started last; null before the first start.
  ChildProcess* wrapper() const { return wrapper_.get(); }
  void SetWrapper(std::unique_ptr<ChildProcess> wrapper) { wrapper_ = std::move(wrapper); }

  // Reads the one message of `connection` and answers it, as the server thread does with each
  // connection it accepts. Open to any connection so that the handling of a message can be driven
  // without a socket. Not to be called while the server thread serves a connection.
  void ServeConnection(PipeConnection& connection);

 private:
  void ServeRequests();
  void AnswerStlRequest(PipeConnection& connection);
  void TakeWorkingFolder(std::string_view text);

  template <typename Use>
  void WithHandler(Use&& use);
  void ReleaseIdleHandlers();
  void CancelOpenRequests();

  const LaunchValues values_;
  const std::string pipeName_;
  const Notify notify_;
  std::string pipeError_;  // why the pipe could not be made; empty while it serves
  std::unique_ptr<ChildProcess> wrapper_;

  std::mutex handlerMutex_;
  std::shared_ptr<StlRequestHandler> handler_;  // guarded; null until the first wrapper start
  // Replaced handlers the server thread may still hold; released on the UI thread. Guarded.
  std::vector<std::shared_ptr<StlRequestHandler>> retired_;

  std::unique_ptr<PipeServer> server_;            // null when the pipe could not be made
  std::atomic<bool> running_{true};               // false once destruction begins
  std::atomic<bool> started_{false};              // true once ServeRequests has begun
  std::promise<void> served_;                     // fulfilled when ServeRequests returns
  std::unique_ptr<BackgroundTask> serverThread_;  // runs ServeRequests; null when not serving
};

}  // namespace rigwright
