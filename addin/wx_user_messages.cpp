#include "addin/wx_user_messages.h"

#include <wx/msgdlg.h>
#include <wx/string.h>

namespace rigwright {
namespace {

constexpr const char* kCaption = "Rigwright";

wxString FromUtf8(std::string_view text) { return wxString::FromUTF8(text.data(), text.size()); }

long IconStyle(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kExclamation:
      return wxICON_EXCLAMATION;
    case MessageIcon::kInformation:
      return wxICON_INFORMATION;
    case MessageIcon::kNone:
      break;
  }
  return wxICON_NONE;
}

}  // namespace

void WxUserMessages::Tell(std::string_view text, MessageIcon icon) {
  wxMessageBox(FromUtf8(text), kCaption, wxOK | IconStyle(icon));
}

bool WxUserMessages::AskYesNo(std::string_view text) {
  return wxMessageBox(FromUtf8(text), kCaption, wxYES_NO | wxICON_QUESTION) == wxYES;
}

}  // namespace rigwright
