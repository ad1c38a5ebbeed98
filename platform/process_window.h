// Bringing another process's window in front of the user.
#pragma once

#include <cstdint>

namespace rigwright {

// Raises and activates the topmost window that process `processId` shows as a top-level window
// of its own (hidden helper windows of its toolkit, menus and pop-ups do not count, and no
// window is mapped). Returns true when such a window was found; false (and nothing happens) when
// there is none or no display to look on.
bool BringProcessWindowToFront(std::int64_t processId);

}  // namespace rigwright
