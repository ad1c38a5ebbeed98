// Test support: the export's progress window as the user sees it, and its Cancel button. The
// toolkit draws the window itself on Linux; on Windows it asks the system for its progress
// dialog, which runs in a thread of its own that the toolkit neither lists nor reaches into. The
// window is found by its title.
#pragma once

#include <wx/gdicmn.h>
#include <wx/string.h>

#include <optional>

namespace rigwright::testing {

// Where the progress window titled `title` is on the screen; nothing while none is shown.
std::optional<wxRect> ProgressWindowArea(const wxString& title);

// Presses that window's Cancel button as a user would. False when there is no such window.
bool PressProgressCancel(const wxString& title);

}  // namespace rigwright::testing
