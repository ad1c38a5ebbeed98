// The add-in's handling of one message from the wrapper, driven through the pipe link without a
// socket. The input is split at the first "\n--reply--\n": before it the message as it arrives
// on the pipe (longer than the protocol allows, with zero bytes, anything), after it the STL
// reply the request handler would give. A message is either the STL request, answered with
// whole entries of the reply within the wrapper's limit, or a working folder, taken only when it
// names an existing absolute folder; nothing else is ever written back.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "addin/pipe_link.h"
#include "common/pipe_protocol.h"
#include "fuzz/fuzz_support.h"

namespace rigwright {
namespace {

// A connection that delivers one message and records what is written back.
class OneMessage final : public PipeConnection {
 public:
  explicit OneMessage(std::string message) : message_(std::move(message)) {}
  bool Write(std::string_view message) override {
    written.emplace_back(message);
    return true;
  }
  PipeReadResult Read(std::size_t maxBytes, std::string* message) override {
    if (delivered_) return PipeReadResult::kClosed;
    delivered_ = true;
    if (message_.size() > maxBytes) return PipeReadResult::kTooLong;
    *message = message_;
    return PipeReadResult::kMessage;
  }
  PipeReadResult ReadWithin(std::size_t maxBytes, std::chrono::milliseconds,
                            std::string* message) override {
    return Read(maxBytes, message);
  }
  std::vector<std::string> written;

 private:
  std::string message_;
  bool delivered_ = false;
};

class RecordingHandler final : public StlRequestHandler {
 public:
  explicit RecordingHandler(std::string reply) : reply_(std::move(reply)) {}
  std::string RequestStlPath() override {
    ++requests;
    return reply_;
  }
  void SetStlFolder(const std::string& folder) override { folders.push_back(folder); }
  void CancelRequest() override {}

  int requests = 0;
  std::vector<std::string> folders;

 private:
  std::string reply_;
};

std::size_t CountEntries(std::string_view reply) {
  return reply.empty() ? 0 : std::count(reply.begin(), reply.end(), kStlEntrySeparator) + 1;
}

void CheckStlAnswer(const std::string& reply, const OneMessage& connection,
                    const RecordingHandler& handler, const std::vector<std::string>& notes) {
  FUZZ_CHECK(handler.requests == 1 && handler.folders.empty());
  FUZZ_CHECK(connection.written.size() == 1);
  const std::string& sent = connection.written[0];
  FUZZ_CHECK(sent.size() <= kMaxMessageBytes);
  FUZZ_CHECK(std::string_view(reply).substr(0, sent.size()) == sent);
  if (sent.size() == reply.size()) {
    FUZZ_CHECK(notes.empty());
    return;
  }
  // Cut after a whole entry, never inside one, and the user is told how many were left out.
  FUZZ_CHECK(reply[sent.size()] == kStlEntrySeparator || sent.empty());
  FUZZ_CHECK(notes.size() == 1);
  const std::size_t leftOut = CountEntries(reply) - CountEntries(sent);
  FUZZ_CHECK(notes[0].find(" " + std::to_string(leftOut) + " file") != std::string::npos);
}

void CheckFolderTaken(std::string_view text, const OneMessage& connection,
                      const RecordingHandler& handler) {
  FUZZ_CHECK(connection.written.empty() && handler.requests == 0);
  FUZZ_CHECK(handler.folders.size() <= 1);
  if (handler.folders.empty()) return;
  const std::string& folder = handler.folders[0];
  FUZZ_CHECK(!text.empty() && text[0] == '/');
  FUZZ_CHECK(folder == text || folder == std::string(text) + "/");
  FUZZ_CHECK(folder.back() == '/');
  std::error_code error;
  FUZZ_CHECK(std::filesystem::is_directory(folder, error));
}

}  // namespace
}  // namespace rigwright

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace rigwright;
  static std::vector<std::string> notes;
  static PipeLink link({"/nonexistent/RigwrightWrapper", "en-US", "/tmp/"}, MakePipeName(),
                       [](std::string text) { notes.push_back(std::move(text)); });
  notes.clear();
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = input.find("\n--reply--\n");
  const std::string message(input.substr(0, cut));
  const std::string reply(cut == std::string_view::npos ? std::string_view()
                                                        : input.substr(cut + 11));

  auto handler = std::make_shared<RecordingHandler>(reply);
  link.ReplaceHandler(handler);
  OneMessage connection(message);
  link.ServeConnection(connection);
  link.ReplaceHandler(nullptr);

  const std::string_view text = MessageText(message);
  if (message.size() > kMaxMessageBytes) {
    FUZZ_CHECK(connection.written.empty() && handler->requests == 0 && handler->folders.empty());
  } else if (text == kStlRequest) {
    CheckStlAnswer(reply, connection, *handler, notes);
  } else {
    CheckFolderTaken(text, connection, *handler);
  }
  return 0;
}
