// How the add-in tells the user something or asks a yes-or-no question. The real implementation
// shows message boxes (wx_user_messages.h); tests answer through their own implementation.
#pragma once

#include <string_view>

namespace rigwright {

// The icon rule: exclamation for input the user must correct, information for success, none for
// failures.
enum class MessageIcon { kNone, kExclamation, kInformation };

class UserMessages {
 public:
  virtual ~UserMessages() = default;
  // Shows `text` (UTF-8) with an OK button and returns when the user has closed it.
  virtual void Tell(std::string_view text, MessageIcon icon) = 0;
  // Asks `text` with the buttons Yes and No and the question icon; true for Yes.
  virtual bool AskYesNo(std::string_view text) = 0;
};

}  // namespace rigwright
