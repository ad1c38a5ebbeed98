// The scripted user's player, one per system: ui_script_player_posix.cpp drives the windows
// through the toolkit; ui_script_player_win32.cpp through the system's windows, since on Windows
// every module links its own copy of the toolkit and the windows of the others (the add-in's
// picker in the host, the wrapper's export dialog in the editor's process) are unknown to it.
// Both share the script's reading and what is done with its results (ui_script.cpp).
#pragma once

#include <map>
#include <string>

#include "standin/automation/ui_script.h"

namespace rigwright::automation {

// Starts playing `script` on the windows of this process, for as long as the process lives.
// On the UI thread, with its message loop running (or about to).
void PlayUiScript(UiScript script);

// A title pattern ending in '*' matches every title that begins with the rest.
bool TitleMatches(const std::string& pattern, const std::string& title);

// Tells stderr what a message box said and appends it, on one line, to `logFile` (if any).
void LogMessage(const std::string& logFile, const std::string& text);

// Saves what the screen shows in the area as PNG, making the file's folder. False when nothing
// could be captured or written.
bool SaveScreenPicture(int x, int y, int width, int height, const std::string& file);

// Which action each window title is at: a window that comes back continues after the actions
// already done for its title.
class ScriptCursor {
 public:
  explicit ScriptCursor(const UiScript& script) : script_(script) {}

  // The next action for a window of this title, null when there is none left.
  const UiAction* Next(const std::string& title);
  // Marks the action that Next gave for this title as done.
  void Advance(const std::string& title) { ++next_[title]; }

 private:
  const UiScript& script_;
  std::map<std::string, size_t> next_;  // per window title: index of its next action
};

// Reports an action that could not be done.
void ReportFailedAction(const std::string& title, const UiAction& action, const std::string& why);

}  // namespace rigwright::automation
