// Bringing another process's window in front of the user.
#pragma once

#include <cstdint>

namespace rigwright {

// Raises and activates the first top-level window that belongs to process `processId`. Returns
// true when such a window was found; false (and nothing happens) when there is none or no
// display to look on.
bool BringProcessWindowToFront(std::int64_t processId);

}  // namespace rigwright
