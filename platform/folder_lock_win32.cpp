#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/folder_lock.h"
#include "platform/text_win32.h"

namespace rigwright {
namespace {

// The lock file of a folder, named by what identifies the folder itself (its volume and its file
// index), so that every path to it (letter case, short names, links) meets the same lock. It lies
// in the user's temporary folder, so nothing is left in the folder written to: a lock file in
// Kelmora's machine folder would sit among the machine's files.
bool LockFilePath(const std::filesystem::path& folder, std::wstring* path, DWORD* code) {
  const HANDLE handle = ::CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    *code = ::GetLastError();
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = ::GetFileInformationByHandle(handle, &info) != 0;
  *code = ::GetLastError();
  ::CloseHandle(handle);
  wchar_t temporary[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, temporary);
  if (!known || length == 0 || length > MAX_PATH) return false;
  wchar_t name[64];
  std::swprintf(name, 64, L"rigwright-%08lx-%08lx%08lx.lock", info.dwVolumeSerialNumber,
                info.nFileIndexHigh, info.nFileIndexLow);
  *path = std::wstring(temporary, length) + name;
  return true;
}

}  // namespace

// Byte 0 of the lock file is locked with LockFileEx; the system releases the lock when the handle
// closes, also when the process dies. The file stays (removing it would race with a writer that
// has just opened it); it is empty.
FolderLock::Attempt FolderLock::TryLock(const std::filesystem::path& folder, std::string* error) {
  if (handle_ == -1) {
    std::wstring path;
    DWORD code = 0;
    if (!LockFilePath(folder, &path, &code)) {
      *error = Win32ErrorText(code);
      return Attempt::kFailed;
    }
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
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
