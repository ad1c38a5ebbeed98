#include "platform/folder_lock.h"

#include <chrono>
#include <thread>

namespace rigwright {

FolderLock::~FolderLock() { Release(); }

bool FolderLock::Lock(const std::filesystem::path& folder, const std::function<void()>& waiting,
                      const std::function<bool()>& cancelled, std::string* error) {
  Release();
  bool told = false;
  for (;;) {
    switch (TryLock(folder, error)) {
      case Attempt::kLocked:
        return true;
      case Attempt::kFailed:
        return false;
      case Attempt::kBusy:
        break;
    }
    if (!told && waiting) waiting();
    told = true;
    if (cancelled && cancelled()) {
      error->clear();
      return false;
    }
    // Polled rather than blocked on, so that a cancel (Ctrl-C, the dialog's Cancel) is seen.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace rigwright
