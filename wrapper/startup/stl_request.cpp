#include "wrapper/startup/stl_request.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
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

// Why the add-in gave no reply, for support; the user sees the file dialog either way.
std::nullopt_t NoReply(std::string_view pipeName, std::string_view why) {
  LogWarning("STL request: " + std::string(why) + " on " + std::string(pipeName) +
             "; the file dialog is offered");
  return std::nullopt;
}

// The reply as the add-in sent it, or nothing when the pipe could not carry the request.
std::optional<std::string> ExchangeWithAddin(std::string_view pipeName) {
  const auto connection = ConnectToPipeWhenFree(pipeName, kBusyPipeWait);
  if (!connection) return NoReply(pipeName, "no add-in could be reached");
  // The picker comes up in front only when this process, in front now, lets the add-in's do so.
  connection->AllowPeerToTakeForeground();
  if (!connection->Write(kStlRequest)) return NoReply(pipeName, "the request could not be sent");
  std::string reply;
  if (connection->Read(kStlBufferSize, &reply) != PipeReadResult::kMessage) {
    return NoReply(pipeName, "no reply could be read");
  }
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
    LogWarning("STL request: " + StlPathRefusal(*refused));
    user.TellFileRefused(StlPathRefusal(*refused));
  }
}

// How long the user took, how many files went to the editor and how many did not fit.
void LogStlAnswer(const char* source, std::chrono::steady_clock::duration took,
                  const FittedStlReply& fitted) {
  const std::size_t entries =
      fitted.text.empty()
          ? 0
          : std::count(fitted.text.begin(), fitted.text.end(), kStlEntrySeparator) + 1;
  char text[160];
  std::snprintf(text, sizeof text, "STL request answered by %s after %.1f s: %zu files", source,
                std::chrono::duration<double>(took).count(), entries);
  if (fitted.entriesLeftOut == 0) return LogInfo(text);
  LogWarning(std::string(text) + ", " + std::to_string(fitted.entriesLeftOut) +
             " more left out: the list does not fit the editor's buffer");
}

}  // namespace

std::string RequestStlFiles(std::string_view pipeName, StlRequestUser& user) {
  const auto start = std::chrono::steady_clock::now();
  std::optional<std::string> reply = AskAddin(pipeName, user);
  const char* source = "the add-in";
  if (!reply) {
    reply = JoinStlEntries(ChoosePassableFiles(user));
    source = "the file dialog";
  }
  // The wire carries UTF-8; the engine opens each path with the system's 8-bit file functions.
  std::vector<std::string> inexact;
  const std::string forEngine = EngineTextOfStlReply(*reply, SystemEngineTextForms(), &inexact);
  for (const std::string& path : inexact) {
    LogWarning("the STL file " + path + " has no form the editor engine can open for certain");
  }
  FittedStlReply fitted = FitStlReply(forEngine);
  LogStlAnswer(source, std::chrono::steady_clock::now() - start, fitted);
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
