#include <windows.h>
// After windows.h.
#include <knownfolders.h>
#include <shlobj.h>

#include <system_error>

#include "platform/log_file.h"
#include "platform/unique_handle_win32.h"

namespace rigwright {
namespace {

// Every process of ours opens the log sharing reading, writing and deletion, so that another one
// can append and rename it while it is open; only appending is asked for, so that each write lands
// at the end as one piece. Reading is there for the lock that guards the rename.
UniqueHandle OpenForAppend(const std::filesystem::path& file) {
  const auto open = [&] {
    return UniqueHandle(::CreateFileW(file.c_str(),
                                      FILE_APPEND_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  };
  UniqueHandle handle = open();
  if (!handle.valid() && ::GetLastError() == ERROR_PATH_NOT_FOUND) {
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    handle = open();
  }
  return handle;
}

bool SameFile(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION first{}, second{};
  return ::GetFileInformationByHandle(a, &first) && ::GetFileInformationByHandle(b, &second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

// Every append and rename happens under a lock on one byte far past any end the log reaches (a
// locked byte that is written would fail the write). Writes through `FILE_APPEND_DATA` land at
// the end on Windows' own file systems, but not on every file system a profile may lie on (Wine
// loses lines on its own), and the check "still the file I opened" and the rename must be one
// step, so that two processes never both rename.
class AppendLock {
 public:
  explicit AppendLock(HANDLE handle) : handle_(handle) {
    beyondEnd_.Offset = 0xFFFFFFFE;
    beyondEnd_.OffsetHigh = 0x7FFFFFFF;
    held_ = ::LockFileEx(handle_, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &beyondEnd_) != FALSE;
  }
  ~AppendLock() {
    if (held_) ::UnlockFileEx(handle_, 0, 1, 0, &beyondEnd_);
  }
  AppendLock(const AppendLock&) = delete;
  AppendLock& operator=(const AppendLock&) = delete;

 private:
  HANDLE handle_;
  OVERLAPPED beyondEnd_{};
  bool held_ = false;
};

// Renames the full file `handle` is open on, unless another process has renamed it already.
// Called under the append lock.
void RotateIfStillCurrent(HANDLE handle, const std::filesystem::path& file) {
  const UniqueHandle current(::CreateFileW(file.c_str(), FILE_READ_ATTRIBUTES,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (current.valid() && SameFile(handle, current.get())) {
    std::filesystem::path kept = file;
    kept += L".1";
    ::MoveFileExW(file.c_str(), kept.c_str(), MOVEFILE_REPLACE_EXISTING);
  }
}

}  // namespace

std::filesystem::path SupportLogFolder() {
  PWSTR folder = nullptr;
  std::filesystem::path path;
  try {
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder))) {
      path = std::filesystem::path(folder) / L"Orvane" / L"Rigwright";
    }
  } catch (...) {
    path.clear();  // out of memory: no place, so no log
  }
  ::CoTaskMemFree(folder);
  return path;
}

bool AppendLogLineOrThrow(const std::filesystem::path& file, std::string_view line,
                          std::uintmax_t sizeCap) {
  // The second round writes even to a full file: a log that cannot be renamed still takes lines.
  for (int round = 0; round < 2; ++round) {
    const UniqueHandle handle = OpenForAppend(file);
    if (!handle.valid()) return false;
    const AppendLock lock(handle.get());
    LARGE_INTEGER size{};
    if (round == 0 && ::GetFileSizeEx(handle.get(), &size) && size.QuadPart > 0 &&
        static_cast<std::uintmax_t>(size.QuadPart) + line.size() > sizeCap) {
      RotateIfStillCurrent(handle.get(), file);
      continue;  // on to the file now at `file`, whoever renamed the full one
    }
    DWORD written = 0;
    return ::WriteFile(handle.get(), line.data(), static_cast<DWORD>(line.size()), &written,
                       nullptr) &&
           written == line.size();
  }
  return false;
}

}  // namespace rigwright
