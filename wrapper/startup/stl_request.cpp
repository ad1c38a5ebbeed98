#include "wrapper/startup/stl_request.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "common/pipe_protocol.h"
#include "common/support_log.h"
#include "platform/engine_text.h"
#include "platform/message_pipe.h"

namespace rigwright {
namespace {

std::string& PipeNameStore() {
  static std::string pipeName(kDefaultPipeName);
  return pipeName;
}

// The reply as the add-in sent it, or nothing when the pipe could not carry the request.
std::optional<std::string> ExchangeWithAddin(std::string_view pipeName) {
  const auto connection = ConnectToPipeWhenFree(pipeName, kBusyPipeWait);
  if (!connection) return std::nullopt;
  // The picker comes up in front only when this process, in front now, lets the add-in's do so.
  connection->AllowPeerToTakeForeground();
  if (!connection->Write(kStlRequest)) return std::nullopt;
  std::string reply;
  if (connection->Read(kStlBufferSize, &reply) != PipeReadResult::kMessage) return std::nullopt;
  reply.resize(std::min(reply.size(), reply.find('\0')));
  return reply;
}

std::optional<std::string> AskAddin(std::string_view pipeName, StlRequestUser& user) {
  std::optional<std::string> reply;
  user.AwaitExchange([&]() noexcept {
    try {
      reply = ExchangeWithAddin(pipeName);
    } catch (...) {
      reply.reset();  // out of memory: the user picks in the file dialog instead
    }
  });
  return reply;
}

// What the user chooses in the file dialog, asked again while a chosen path cannot be an entry
// of the reply.
std::vector<std::string> ChoosePassableFiles(StlRequestUser& user) {
  for (;;) {
    std::vector<std::string> chosen = user.ChooseStlFiles();
    const auto refused = std::find_if(chosen.begin(), chosen.end(), [](const std::string& path) {
      return !StlPathRefusal(path).empty();
    });
    if (refused == chosen.end()) return chosen;
    user.TellFileRefused(StlPathRefusal(*refused));
  }
}

}  // namespace

std::string RequestStlFiles(std::string_view pipeName, StlRequestUser& user) {
  std::optional<std::string> reply = AskAddin(pipeName, user);
  if (!reply) reply = JoinStlEntries(ChoosePassableFiles(user));
  // The wire carries UTF-8; the engine opens each path with the system's 8-bit file functions.
  std::vector<std::string> inexact;
  const std::string forEngine = EngineTextOfStlReply(*reply, SystemEngineTextForms(), &inexact);
  for (const std::string& path : inexact) {
    LogWarning("the STL file " + path + " has no form the editor engine can open for certain");
  }
  FittedStlReply fitted = FitStlReply(forEngine);
  if (fitted.entriesLeftOut > 0) user.TellFilesLeftOut(fitted.entriesLeftOut);
  return std::move(fitted.text);
}

void CopyToEngineBuffer(std::string_view reply, char* buffer) {
  reply = reply.substr(0, std::min({reply.size(), reply.find('\0'), kMaxMessageBytes}));
  std::memcpy(buffer, reply.data(), reply.size());
  buffer[reply.size()] = '\0';
}

void SetWrapperPipeName(std::string pipeName) { PipeNameStore() = std::move(pipeName); }

const std::string& WrapperPipeName() { return PipeNameStore(); }

void AnnounceWorkingFolder(std::string_view pipeName, std::string_view folder) {
  // Without this message the add-in's STL files would have nowhere to go.
  if (const auto connection = ConnectToPipeWhenFree(pipeName, kBusyPipeWait)) {
    connection->Write(folder);
  }
}

}  // namespace rigwright
