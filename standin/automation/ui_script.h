// Scripted users for the development stand-ins: a script of what a person would do in Rigwright's
// windows (choose a target, type a path, check a level, press a button, take a screenshot), played
// on the real windows of the process. The stand-in host and editor start it when the environment
// variable RIGWRIGHT_UI_SCRIPT names a script, so whole runs can be made without a person at the
// keyboard. Rigwright's own programs know nothing of it.
//
// A script has one instruction per line; blank lines and lines starting with '#' are skipped.
// Texts with spaces are written in double quotes; ${NAME} stands for the environment variable NAME.
// A title ending in '*' stands for every title that begins with the rest.
//
//   window "<title>" select <id> "<item text>"   choose an item of a choice or combo box
//   window "<title>" text <id> "<text>"          type into a text field (or the field inside <id>)
//   window "<title>" check <id> "<item text>"    tick the list item with a column that reads so
//   window "<title>" click <id>                  press a button
//   window "<title>" screenshot "<file.png>"     save what the window shows
//   window "<title>" screen "<file.png>"         save the whole screen, while that window is up
//   messages "<file>"                            log every message box's text there (one line each)
//   answer yes|no                                how question boxes are answered (default yes)
//
// The actions for a window title run in order, one per tick while a window of that title is shown;
// a window that comes back (the next export, the next STL request) continues with the actions
// after those already done. Message boxes are answered at once without being shown (on Windows,
// where they belong to other copies of the toolkit, as soon as they show).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rigwright::automation {

struct UiAction {
  std::string window;  // title of the top-level window the action is for
  std::string verb;    // select, text, check, click, screenshot
  long controlId = 0;
  std::string argument;
};

struct UiScript {
  std::vector<UiAction> actions;
  std::string messagesFile;
  bool answerYes = true;
};

// False (with `error` naming the line) when a line cannot be read.
bool ParseUiScript(std::string_view text, UiScript* script, std::string* error);

// Starts playing the script named by RIGWRIGHT_UI_SCRIPT, if it is set, on this process's windows.
// Needs a running wx application; call it on the UI thread. Problems go to stderr. Idempotent.
void StartUiScriptFromEnvironment();

}  // namespace rigwright::automation
