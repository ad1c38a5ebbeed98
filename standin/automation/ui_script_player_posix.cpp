// The player through the toolkit: where the host, the add-in, the wrapper and the editor share one
// copy of it, every window of the process is one of its top-level windows, and message boxes go
// through its modal hook.
#include <wx/app.h>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/ctrlsub.h>
#include <wx/dialog.h>
#include <wx/listctrl.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/toplevel.h>
#include <wx/utils.h>

#include "standin/automation/ui_script_player.h"

namespace rigwright::automation {
namespace {

wxTextCtrl* FindTextField(wxWindow* window) {
  if (auto* text = dynamic_cast<wxTextCtrl*>(window)) return text;
  for (wxWindow* child : window->GetChildren()) {
    if (wxTextCtrl* text = FindTextField(child)) return text;
  }
  return nullptr;
}

bool Select(wxWindow* control, const std::string& item) {
  auto* items = dynamic_cast<wxItemContainer*>(control);
  if (!items) return false;
  const int index = items->FindString(wxString::FromUTF8(item), true);
  if (index == wxNOT_FOUND) return false;
  items->SetSelection(index);
  wxCommandEvent event(dynamic_cast<wxChoice*>(control) ? wxEVT_CHOICE : wxEVT_COMBOBOX,
                       control->GetId());
  event.SetEventObject(control);
  event.SetInt(index);
  return control->ProcessWindowEvent(event) || true;
}

bool Check(wxWindow* control, const std::string& item) {
  auto* list = dynamic_cast<wxListCtrl*>(control);
  if (!list) return false;
  for (long i = 0; i < list->GetItemCount(); ++i) {
    for (int column = 0; column < std::max(1, list->GetColumnCount()); ++column) {
      if (list->GetItemText(i, column).utf8_string() == item) {
        list->CheckItem(i, true);
        return true;
      }
    }
  }
  return false;
}

bool Click(wxWindow* control) {
  auto* button = dynamic_cast<wxButton*>(control);
  if (!button || !button->IsEnabled()) return false;
  wxCommandEvent event(wxEVT_BUTTON, button->GetId());
  event.SetEventObject(button);
  button->ProcessWindowEvent(event);
  return true;
}

// Answers message boxes without showing them, and logs what they said.
class MessageAnswerer final : public wxModalDialogHook {
 public:
  MessageAnswerer(std::string logFile, bool answerYes)
      : logFile_(std::move(logFile)), answerYes_(answerYes) {}

 protected:
  int Enter(wxDialog* dialog) override {
    auto* box = dynamic_cast<wxMessageDialogBase*>(dialog);
    if (!box) return wxID_NONE;
    LogMessage(logFile_, box->GetMessage().utf8_string());
    if (box->GetMessageDialogStyle() & wxYES_NO) return answerYes_ ? wxID_YES : wxID_NO;
    return wxID_OK;
  }

 private:
  std::string logFile_;
  bool answerYes_;
};

// Plays the window actions: every tick, for each shown window with actions, runs its next one.
class Player final : public wxTimer {
 public:
  explicit Player(UiScript script) : script_(std::move(script)) {}

  void Notify() override {
    if (busy_) return;  // a screenshot lets events run, this timer's among them
    busy_ = true;
    for (wxWindow* window : wxTopLevelWindows) {
      const std::string title = window->GetLabel().utf8_string();
      if (window->IsShown()) Step(window, title);
    }
    busy_ = false;
  }

 private:
  void Step(wxWindow* window, const std::string& title) {
    const UiAction* next = cursor_.Next(title);
    if (!next) return;
    const UiAction action = *next;
    cursor_.Advance(title);
    if (!Run(window, action)) ReportFailedAction(title, action, {});
  }

  static bool Run(wxWindow* window, const UiAction& action) {
    if (action.verb == "screenshot" || action.verb == "screen") {
      BringForwardAndSettle(window);
      const wxRect area = action.verb == "screen" ? wxRect(wxPoint(0, 0), wxGetDisplaySize())
                                                  : window->GetScreenRect();
      return SaveScreenPicture(area.GetX(), area.GetY(), area.GetWidth(), area.GetHeight(),
                               action.argument);
    }
    wxWindow* control = wxWindow::FindWindowById(action.controlId, window);
    if (!control) return false;
    if (action.verb == "select") return Select(control, action.argument);
    if (action.verb == "check") return Check(control, action.argument);
    if (action.verb == "click") return Click(control);
    wxTextCtrl* field = FindTextField(control);
    if (!field) return false;
    field->SetValue(wxString::FromUTF8(action.argument));
    return true;
  }

  // A window that has just been shown may not be painted yet, and without a window manager a
  // later window may cover it.
  static void BringForwardAndSettle(wxWindow* window) {
    window->Raise();
    window->Refresh();
    window->Update();
    for (int i = 0; i < 25; ++i) {
      wxTheApp->Yield(true);
      wxMilliSleep(10);
    }
  }

  UiScript script_;
  ScriptCursor cursor_{script_};
  bool busy_ = false;
};

}  // namespace

void PlayUiScript(UiScript script) {
  // Both live as long as the process (never destroyed, so never after the toolkit): the windows
  // they drive may appear at any time.
  static MessageAnswerer* answerer = new MessageAnswerer(script.messagesFile, script.answerYes);
  answerer->Register();
  static Player* player = new Player(std::move(script));
  player->Start(150);
}

}  // namespace rigwright::automation
