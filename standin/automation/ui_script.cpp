#include "standin/automation/ui_script.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/ctrlsub.h>
#include <wx/image.h>
#include <wx/imagpng.h>
#include <wx/dialog.h>
#include <wx/listctrl.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/toplevel.h>
#include <wx/utils.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>

#include "common/path_text.h"
#include "platform/environment.h"
#include "platform/screen_capture.h"

namespace rigwright::automation {
namespace {

// Splits a line into words; a word in double quotes may hold spaces.
bool SplitWords(std::string_view line, std::vector<std::string>* words) {
  words->clear();
  size_t at = 0;
  while (at < line.size()) {
    if (line[at] == ' ' || line[at] == '\t') {
      ++at;
    } else if (line[at] == '"') {
      const size_t end = line.find('"', at + 1);
      if (end == std::string_view::npos) return false;
      words->emplace_back(line.substr(at + 1, end - at - 1));
      at = end + 1;
    } else {
      const size_t end = std::min(line.find_first_of(" \t", at), line.size());
      words->emplace_back(line.substr(at, end - at));
      at = end;
    }
  }
  return true;
}

// Replaces every ${NAME} with the environment variable's value. False when one is not set.
bool ExpandVariables(std::string* line, std::string* missing) {
  size_t at = 0;
  while ((at = line->find("${", at)) != std::string::npos) {
    const size_t end = line->find('}', at);
    if (end == std::string::npos) return true;
    const std::string name = line->substr(at + 2, end - at - 2);
    const std::optional<std::string> value = EnvironmentValue(name);
    if (!value) {
      *missing = name;
      return false;
    }
    line->replace(at, end - at + 1, *value);
    at += value->size();
  }
  return true;
}

// A title pattern ending in '*' matches every title that begins with the rest.
bool TitleMatches(const std::string& pattern, const std::string& title) {
  if (pattern.ends_with('*')) return title.starts_with(pattern.substr(0, pattern.size() - 1));
  return pattern == title;
}

bool ParseWindowAction(const std::vector<std::string>& w, UiAction* action) {
  if (w.size() < 3 || w[0] != "window") return false;
  action->window = w[1];
  action->verb = w[2];
  if (action->verb == "screenshot" || action->verb == "screen") {
    if (w.size() != 4) return false;
    action->argument = w[3];
    return true;
  }
  const size_t expected = action->verb == "click" ? 4 : 5;
  if (w.size() != expected) return false;
  if (action->verb != "click" && action->verb != "select" && action->verb != "text" &&
      action->verb != "check") {
    return false;
  }
  char* end = nullptr;
  action->controlId = std::strtol(w[3].c_str(), &end, 10);
  if (w[3].empty() || *end != '\0') return false;
  if (expected == 5) action->argument = w[4];
  return true;
}

// Saves what the screen shows inside `rect` as PNG.
bool SaveScreenPicture(const wxRect& rect, const std::string& file) {
  ScreenPixels pixels;
  if (!CaptureScreenArea(rect.GetX(), rect.GetY(), rect.GetWidth(), rect.GetHeight(), &pixels)) {
    return false;
  }
  std::error_code ignored;
  std::filesystem::create_directories(PathFromUtf8(file).parent_path(), ignored);
  if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
  wxImage image(pixels.width, pixels.height, pixels.rgb.data(), /*static_data=*/true);
  return image.SaveFile(wxString::FromUTF8(file), wxBITMAP_TYPE_PNG);
}

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
    const std::string text = box->GetMessage().utf8_string();
    std::cerr << "[ui-script] message: " << text << "\n";
    if (!logFile_.empty()) {
      std::string oneLine = text;
      for (char& c : oneLine) if (c == '\n') c = ' ';
      std::ofstream(PathFromUtf8(logFile_), std::ios::app) << oneLine << "\n";
    }
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
    size_t& next = next_[title];
    while (next < script_.actions.size() && !TitleMatches(script_.actions[next].window, title)) {
      ++next;
    }
    if (next >= script_.actions.size()) return;
    const UiAction action = script_.actions[next++];
    if (!Run(window, action)) {
      std::cerr << "[ui-script] \"" << title << "\": " << action.verb << " " << action.controlId
                << " \"" << action.argument << "\" could not be done\n";
    }
  }

  static bool Run(wxWindow* window, const UiAction& action) {
    if (action.verb == "screenshot" || action.verb == "screen") {
      BringForwardAndSettle(window);
      const wxRect area = action.verb == "screen" ? wxRect(wxPoint(0, 0), wxGetDisplaySize())
                                                  : window->GetScreenRect();
      return SaveScreenPicture(area, action.argument);
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
  std::map<std::string, size_t> next_;  // per window title: index of its next action
  bool busy_ = false;
};

}  // namespace

bool ParseUiScript(std::string_view text, UiScript* script, std::string* error) {
  *script = UiScript{};
  std::istringstream lines{std::string(text)};
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    std::string missing;
    if (!ExpandVariables(&line, &missing)) {
      *error = "line " + std::to_string(number) + ": ${" + missing + "} is not set";
      return false;
    }
    std::vector<std::string> w;
    const bool split = SplitWords(line, &w);
    if (split && (w.empty() || w[0].starts_with('#'))) continue;
    UiAction action;
    if (split && ParseWindowAction(w, &action)) {
      script->actions.push_back(std::move(action));
    } else if (split && w.size() == 2 && w[0] == "messages") {
      script->messagesFile = w[1];
    } else if (split && w.size() == 2 && w[0] == "answer" && (w[1] == "yes" || w[1] == "no")) {
      script->answerYes = w[1] == "yes";
    } else {
      *error = "line " + std::to_string(number) + ": cannot read \"" + line + "\"";
      return false;
    }
  }
  return true;
}

void StartUiScriptFromEnvironment() {
  static bool started = false;
  const std::string path = EnvironmentValue("RIGWRIGHT_UI_SCRIPT").value_or("");
  if (started || path.empty()) return;
  started = true;
  std::ifstream in(PathFromUtf8(path), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  UiScript script;
  std::string error;
  if (!in || !ParseUiScript(text.str(), &script, &error)) {
    std::cerr << "[ui-script] " << path << ": " << (in ? error : "cannot be read") << "\n";
    return;
  }
  // Both live as long as the process (never destroyed, so never after the toolkit): the windows
  // they drive may appear at any time.
  static MessageAnswerer* answerer = new MessageAnswerer(script.messagesFile, script.answerYes);
  answerer->Register();
  static Player* player = new Player(std::move(script));
  player->Start(150);
}

}  // namespace rigwright::automation
