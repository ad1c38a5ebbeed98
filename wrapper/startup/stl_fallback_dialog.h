// The STL request's dialogs, shown when the add-in cannot answer.
#pragma once

#include "wrapper/startup/stl_request.h"

namespace rigwright {

// Asks through the toolkit's dialogs: a multi-select open dialog for STL files, and messages when
// files had to be left out or a chosen file was refused.
class DialogStlRequestUser final : public StlRequestUser {
 public:
  std::vector<std::string> ChooseStlFiles() override;
  void TellFilesLeftOut(int count) override;
  void TellFileRefused(const std::string& text) override;
  // On the toolkit's thread: the exchange runs on a thread of its own while every top-level
  // window is disabled and a nested event loop keeps them painted and their timers running (a
  // window that handles no messages for a few seconds is "Not Responding" on Windows, and the
  // user may be offered to end the program). Elsewhere the exchange runs on the calling thread.
  void AwaitExchange(const std::function<void()>& exchange) override;
};

// The callback registered with the engine's SetCreateSTLFunc. `buffer` holds at least 10240
// bytes; on return it holds the zero-terminated reply. Never throws into the engine.
void CreateStlCallback(char* buffer);

}  // namespace rigwright
