// The player through the system's windows. On Windows every module links its own copy of the
// toolkit: the add-in's picker lives in the add-in's copy inside the host's process, the export
// dialog in the wrapper's copy inside the editor's process, and neither is among the top-level
// windows of the copy that plays the script, nor do their message boxes pass its modal hook. So
// the player finds the windows of its process with the system (the toolkit gives native controls
// their ids) and acts with the messages the controls answer to, as a user's input would reach
// them. A thread timer drives it: whichever copy pumps the thread's messages runs it.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "platform/text_win32.h"
#include "standin/automation/ui_script_player.h"

namespace rigwright::automation {
namespace {

constexpr UINT kTickMs = 150;

std::string WindowText(HWND window) {
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return Utf8FromUtf16(text);
}

std::wstring ClassOf(HWND window) {
  wchar_t name[128] = {};
  ::GetClassNameW(window, name, static_cast<int>(std::size(name)));
  return name;
}

bool IsClass(HWND window, const wchar_t* name) {
  return ::_wcsicmp(ClassOf(window).c_str(), name) == 0;
}

BOOL CALLBACK CollectOwnWindow(HWND window, LPARAM windows) {
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  if (process == ::GetCurrentProcessId() && ::IsWindowVisible(window)) {
    reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
  }
  return TRUE;
}

// The shown top-level windows of this process, topmost first.
std::vector<HWND> OwnShownWindows() {
  std::vector<HWND> windows;
  ::EnumWindows(CollectOwnWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM children) {
  reinterpret_cast<std::vector<HWND>*>(children)->push_back(child);
  return TRUE;
}

// Every window inside `window`, at any depth, in the system's order.
std::vector<HWND> Descendants(HWND window) {
  std::vector<HWND> children;
  ::EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

HWND FindControl(HWND window, long id) {
  for (HWND child : Descendants(window)) {
    if (::GetDlgCtrlID(child) == id) return child;
  }
  return nullptr;
}

bool IsEditField(HWND window) {
  const std::wstring name = ClassOf(window);
  return ::_wcsicmp(name.c_str(), L"Edit") == 0 || ::_wcsnicmp(name.c_str(), L"RichEdit", 8) == 0;
}

// The field itself, or the first field inside it (a field with a browse button is a panel).
HWND FindEditField(HWND control) {
  if (IsEditField(control)) return control;
  for (HWND child : Descendants(control)) {
    if (IsEditField(child)) return child;
  }
  return nullptr;
}

// Tells the control's parent what the control would tell it after a user's input.
void Notify(HWND control, WORD code) {
  ::SendMessageW(::GetParent(control), WM_COMMAND,
                 MAKEWPARAM(static_cast<WORD>(::GetDlgCtrlID(control)), code),
                 reinterpret_cast<LPARAM>(control));
}

bool Select(HWND control, const std::string& item, std::string* why) {
  if (!IsClass(control, L"ComboBox")) {
    *why = "not a choice or combo box";
    return false;
  }
  const std::wstring text = Utf16FromUtf8(item);
  const LRESULT index = ::SendMessageW(control, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(text.c_str()));
  if (index == CB_ERR) {
    *why = "no such item";
    return false;
  }
  ::SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  // A choice made with the keyboard: the selection ends, then it has changed. The toolkit's
  // choice reports on the first, its combo box on the second.
  Notify(control, CBN_SELENDOK);
  Notify(control, CBN_SELCHANGE);
  return ::SendMessageW(control, CB_GETCURSEL, 0, 0) == index;
}

bool Type(HWND control, const std::string& text, std::string* why) {
  const HWND field = FindEditField(control);
  if (!field || !::IsWindowEnabled(field)) {
    *why = "no enabled text field";
    return false;
  }
  const std::wstring wide = Utf16FromUtf8(text);
  ::SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
  // A single-line field tells its parent of the change itself; a multi-line one does not.
  if (::GetWindowLongW(field, GWL_STYLE) & ES_MULTILINE) Notify(field, EN_CHANGE);
  std::wstring now(wide.size() + 2, L'\0');
  now.resize(
      static_cast<size_t>(::GetWindowTextW(field, now.data(), static_cast<int>(now.size()))));
  if (now != wide) *why = "the field reads \"" + Utf8FromUtf16(now) + "\"";
  return now == wide;
}

std::wstring ListItemText(HWND list, int item, int column) {
  wchar_t text[512] = {};
  LVITEMW request{};
  request.iSubItem = column;
  request.pszText = text;
  request.cchTextMax = static_cast<int>(std::size(text));
  ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item),
                 reinterpret_cast<LPARAM>(&request));
  return text;
}

bool Check(HWND control, const std::string& item, std::string* why) {
  if (!IsClass(control, WC_LISTVIEWW) ||
      !(ListView_GetExtendedListViewStyle(control) & LVS_EX_CHECKBOXES)) {
    *why = "not a list with check boxes";
    return false;
  }
  const std::wstring wanted = Utf16FromUtf8(item);
  const HWND header = ListView_GetHeader(control);
  const int columns = std::max(1, header ? Header_GetItemCount(header) : 1);
  for (int i = 0; i < ListView_GetItemCount(control); ++i) {
    for (int column = 0; column < columns; ++column) {
      if (ListItemText(control, i, column) != wanted) continue;
      // The list tells its parent of the new state, as after a click in the box.
      ListView_SetCheckState(control, i, TRUE);
      return ListView_GetCheckState(control, i) != 0;
    }
  }
  *why = "no such item";
  return false;
}

bool Click(HWND control, std::string* why) {
  if (!IsClass(control, L"Button") || !::IsWindowEnabled(control)) {
    *why = "not an enabled button";
    return false;
  }
  // Posted, as a click arrives: what the button starts (a modal dialog, an export) runs from the
  // message loop, and the next tick finds its windows.
  return ::PostMessageW(control, BM_CLICK, 0, 0) != 0;
}

// A message box: the system's dialog class holding texts and push buttons only, one of them a
// box's answer. The toolkit's own dialogs have the same class (and their OK may have the same
// id), but also fields, lists or a progress bar. The toolkit shows its message boxes as task
// dialogs where version 6 of the common controls is loaded, else as the system's message box;
// under Wine both are such dialogs.
bool IsMessageBox(HWND window) {
  if (!IsClass(window, L"#32770")) return false;
  bool answer = false;
  for (HWND child : Descendants(window)) {
    if (IsClass(child, L"Button")) {
      const int id = ::GetDlgCtrlID(child);
      answer = answer || id == IDOK || id == IDCANCEL || id == IDYES || id == IDNO;
    } else if (!IsClass(child, L"Static")) {
      return false;
    }
  }
  return answer;
}

// The box's texts that are not icons (a task dialog's instruction and content), one a line.
std::string MessageBoxText(HWND box) {
  std::string text;
  for (HWND child : Descendants(box)) {
    if (!IsClass(child, L"Static")) continue;
    if ((::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) continue;
    const std::string part = WindowText(child);
    if (!part.empty()) text += (text.empty() ? "" : "\n") + part;
  }
  return text;
}

// The button that gives the script's answer: Yes or No for a question, else OK. A task dialog
// made by the toolkit gives its lone OK the id of Cancel, so that Escape works.
HWND AnswerButton(HWND box, bool answerYes) {
  if (::GetDlgItem(box, IDYES)) return ::GetDlgItem(box, answerYes ? IDYES : IDNO);
  if (const HWND ok = ::GetDlgItem(box, IDOK)) return ok;
  return ::GetDlgItem(box, IDCANCEL);
}

class Win32Player {
 public:
  explicit Win32Player(UiScript script) : script_(std::move(script)) {}

  void Tick() {
    if (busy_) return;  // a control's handler may run a loop of its own, this timer in it
    busy_ = true;
    const std::vector<HWND> windows = OwnShownWindows();
    ForgetClosedBoxes();
    for (HWND window : windows) {
      if (IsMessageBox(window)) Answer(window);
    }
    for (HWND window : windows) {
      // A disabled window is behind a modal one; a user could not reach it either.
      if (!::IsWindow(window) || !::IsWindowVisible(window) || !::IsWindowEnabled(window) ||
          IsMessageBox(window)) {
        continue;
      }
      Step(window, WindowText(window));
    }
    busy_ = false;
  }

 private:
  void Answer(HWND box) {
    if (answered_.count(box)) return;  // pressed; it goes when its loop sees the press
    const HWND control = AnswerButton(box, script_.answerYes);
    if (!control) return;
    LogMessage(script_.messagesFile, MessageBoxText(box));
    answered_.insert(box);
    ::PostMessageW(control, BM_CLICK, 0, 0);
  }

  void ForgetClosedBoxes() {
    for (auto it = answered_.begin(); it != answered_.end();) {
      it = ::IsWindow(*it) ? std::next(it) : answered_.erase(it);
    }
  }

  void Step(HWND window, const std::string& title) {
    const UiAction* next = cursor_.Next(title);
    if (!next) return;
    const UiAction action = *next;
    if ((action.verb == "screenshot" || action.verb == "screen") && !prepared_.count(window)) {
      // This tick brings the window forward and paints it; the next one takes the picture, after
      // the message loop has put what was painted on the screen.
      prepared_.insert(window);
      BringForward(window);
      return;
    }
    prepared_.erase(window);
    cursor_.Advance(title);
    std::string why;
    if (!Run(window, action, &why)) ReportFailedAction(title, action, why);
  }

  static void BringForward(HWND window) {
    ::SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    ::RedrawWindow(window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }

  static bool Run(HWND window, const UiAction& action, std::string* why) {
    if (action.verb == "screenshot" || action.verb == "screen") return Picture(window, action);
    const HWND control = FindControl(window, action.controlId);
    if (!control) {
      *why = "no control with this id";
      return false;
    }
    if (action.verb == "select") return Select(control, action.argument, why);
    if (action.verb == "check") return Check(control, action.argument, why);
    if (action.verb == "click") return Click(control, why);
    return Type(control, action.argument, why);
  }

  static bool Picture(HWND window, const UiAction& action) {
    RECT area{};
    if (action.verb == "screen") {
      area = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    } else if (!::GetWindowRect(window, &area)) {
      return false;
    }
    return SaveScreenPicture(area.left, area.top, area.right - area.left, area.bottom - area.top,
                             action.argument);
  }

  UiScript script_;
  ScriptCursor cursor_{script_};
  std::set<HWND> answered_;  // message boxes pressed and not yet gone
  std::set<HWND> prepared_;  // windows brought forward for their picture
  bool busy_ = false;
};

Win32Player* player = nullptr;  // lives as long as the process: windows may come at any time

void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD) { player->Tick(); }

}  // namespace

void PlayUiScript(UiScript script) {
  if (player) return;
  player = new Win32Player(std::move(script));
  // A timer of the thread, with no window: it fires in whichever message loop runs.
  ::SetTimer(nullptr, 0, kTickMs, OnTick);
}

}  // namespace rigwright::automation
