#include <windows.h>

#include "platform/folder_lock.h"
#include "platform/text_win32.h"

namespace rigwright {

// A folder's handle cannot be locked, so a lock file in it is: hidden, empty and left in place
// (removing it would race with a writer that has just opened it). Its byte 0 is locked with
// LockFileEx; the system releases the lock when the handle closes, also when the process dies.
FolderLock::Attempt FolderLock::TryLock(const std::filesystem::path& folder, std::string* error) {
  if (handle_ == -1) {
    const HANDLE file =
        ::CreateFileW((folder / L".rigwright.lock").c_str(), GENERIC_READ | GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      *error = Win32ErrorText(::GetLastError());
      return Attempt::kFailed;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
  }
  OVERLAPPED at{};
  if (::LockFileEx(reinterpret_cast<HANDLE>(handle_),
                   LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    return Attempt::kLocked;
  }
  const DWORD code = ::GetLastError();
  if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING) return Attempt::kBusy;
  return Attempt::kLocked;  // a file system without locks
}

void FolderLock::Release() {
  if (handle_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
}

}  // namespace rigwright
