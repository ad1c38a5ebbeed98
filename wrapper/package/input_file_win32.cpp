#include <windows.h>

#include <algorithm>

#include "platform/text_win32.h"
#include "wrapper/package/input_file.h"

namespace rigwright {
namespace {

HANDLE Handle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

InputFile::~InputFile() {
  if (handle_ != -1) ::CloseHandle(Handle(handle_));
}

bool InputFile::Open(const std::filesystem::path& path, std::string& error) {
  // Backup semantics let a folder open too, so that it can be told apart from a file that is
  // missing or locked.
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = "cannot be opened: " + Win32ErrorText(::GetLastError());
    return false;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  if (::GetFileType(file) != FILE_TYPE_DISK) {
    error = "is not a regular file (a pipe or device), so it is not read";
    return false;
  }
  BY_HANDLE_FILE_INFORMATION information{};
  if (!::GetFileInformationByHandle(file, &information)) {
    error = "cannot be read: " + Win32ErrorText(::GetLastError());
    return false;
  }
  if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    error = "is a folder";
    return false;
  }
  size_ = std::uint64_t{information.nFileSizeHigh} << 32 | information.nFileSizeLow;
  return true;
}

bool InputFile::Read(std::span<std::uint8_t> into, std::string& error) {
  while (!into.empty()) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(into.size(), 1u << 30));
    DWORD got = 0;
    if (!::ReadFile(Handle(handle_), into.data(), want, &got, nullptr)) {
      error = "cannot be read: " + Win32ErrorText(::GetLastError());
      return false;
    }
    if (got == 0) {
      error = "cannot be read: it became shorter while it was read";
      return false;
    }
    into = into.subspan(got);
  }
  return true;
}

}  // namespace rigwright
