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
};

// The callback registered with the engine's SetCreateSTLFunc. `buffer` holds at least 10240
// bytes; on return it holds the zero-terminated reply. Never throws into the engine.
void CreateStlCallback(char* buffer);

}  // namespace rigwright
