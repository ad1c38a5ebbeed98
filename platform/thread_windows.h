// Keeping input from the windows of a thread while it waits, as a modal dialog does.
#pragma once

#include <vector>

namespace rigwright {

// While it lives, every top-level window of the calling thread that was enabled is disabled, so
// that no click or key reaches it; they are enabled again when it ends. A toolkit disables the
// windows it made itself; this also reaches windows made by another copy of a toolkit in the
// same process (an engine DLL that carries its own). Where the system has no such rule for
// windows (X11), nothing is done: the toolkit's own disabling covers its windows.
class DisabledThreadWindows {
 public:
  DisabledThreadWindows();
  ~DisabledThreadWindows();
  DisabledThreadWindows(const DisabledThreadWindows&) = delete;
  DisabledThreadWindows& operator=(const DisabledThreadWindows&) = delete;

 private:
  std::vector<void*> windows_;  // the windows this disabled, to be enabled again
};

}  // namespace rigwright
