#include "standin/automation/ui_script.h"

#include <wx/image.h>
#include <wx/imagpng.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

#include "common/path_text.h"
#include "platform/environment.h"
#include "platform/screen_capture.h"
#include "standin/automation/ui_script_player.h"

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

}  // namespace

bool TitleMatches(const std::string& pattern, const std::string& title) {
  if (pattern.ends_with('*')) return title.starts_with(pattern.substr(0, pattern.size() - 1));
  return pattern == title;
}

void LogMessage(const std::string& logFile, const std::string& text) {
  std::cerr << "[ui-script] message: " << text << "\n";
  if (logFile.empty()) return;
  std::string oneLine = text;
  for (char& c : oneLine) {
    if (c == '\n') c = ' ';
  }
  std::ofstream(PathFromUtf8(logFile), std::ios::app | std::ios::binary) << oneLine << "\n";
}

bool SaveScreenPicture(int x, int y, int width, int height, const std::string& file) {
  ScreenPixels pixels;
  if (!CaptureScreenArea(x, y, width, height, &pixels)) return false;
  std::error_code ignored;
  std::filesystem::create_directories(PathFromUtf8(file).parent_path(), ignored);
  if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
  wxImage image(pixels.width, pixels.height, pixels.rgb.data(), /*static_data=*/true);
  return image.SaveFile(wxString::FromUTF8(file), wxBITMAP_TYPE_PNG);
}

const UiAction* ScriptCursor::Next(const std::string& title) {
  size_t& next = next_[title];
  while (next < script_.actions.size() && !TitleMatches(script_.actions[next].window, title)) {
    ++next;
  }
  return next < script_.actions.size() ? &script_.actions[next] : nullptr;
}

void ReportFailedAction(const std::string& title, const UiAction& action, const std::string& why) {
  std::cerr << "[ui-script] \"" << title << "\": " << action.verb << " " << action.controlId
            << " \"" << action.argument << "\" could not be done" << (why.empty() ? "" : ": " + why)
            << "\n";
}

bool ParseUiScript(std::string_view text, UiScript* script, std::string* error) {
  *script = UiScript{};
  std::istringstream lines{std::string(text)};
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    // A script saved on Windows ends its lines with CR LF.
    if (line.ends_with('\r')) line.pop_back();
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
  PlayUiScript(std::move(script));
}

}  // namespace rigwright::automation
