// X11 has no disabled windows of its own: the toolkit's disabling is all there is.
#include "platform/thread_windows.h"

namespace rigwright {

DisabledThreadWindows::DisabledThreadWindows() = default;
DisabledThreadWindows::~DisabledThreadWindows() = default;

}  // namespace rigwright
