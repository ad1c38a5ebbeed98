// The add-in's messages as message boxes over the host's windows.
#pragma once

#include "addin/user_messages.h"

namespace rigwright {

// Shows modal message boxes captioned "Rigwright". Must run on the UI thread.
class WxUserMessages final : public UserMessages {
 public:
  void Tell(std::string_view text, MessageIcon icon) override;
  bool AskYesNo(std::string_view text) override;
};

}  // namespace rigwright
