#include <windows.h>

#include <string>

#include "platform/file_location.h"
#include "platform/text_win32.h"
#include "platform/unique_handle_win32.h"

namespace rigwright {
namespace {

HANDLE Handle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// Opens what `path` names for reading, following links and junctions; a folder too (backup
// semantics), so that it can be told apart from a file and its own location asked.
HANDLE OpenForReading(const std::filesystem::path& path) {
  return ::CreateFileW(path.c_str(), GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The final path of an open handle, as a plain drive or UNC path.
std::filesystem::path FinalPathOf(HANDLE handle, std::string* error) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) {
      if (error) *error = Win32ErrorText(::GetLastError());
      return {};
    }
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(length);
  }
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
  if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
  return path;
}

}  // namespace

FileForReading::Failure OpenFailureOf(unsigned long code, std::string* text) {
  if (text) *text = Win32ErrorText(code);
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || code == ERROR_INVALID_NAME
             ? FileForReading::Failure::kMissing
             : FileForReading::Failure::kUnreadable;
}

FileForReading::~FileForReading() { Close(); }

void FileForReading::Close() {
  if (handle_ != -1) ::CloseHandle(Handle(handle_));
  handle_ = -1;
}

bool FileForReading::Open(const std::filesystem::path& path) {
  Close();
  path_ = path;
  const HANDLE handle = OpenForReading(path);
  if (handle == INVALID_HANDLE_VALUE) {
    std::string text;
    const Failure failure = OpenFailureOf(::GetLastError(), &text);
    return Fail(failure, std::move(text));
  }
  handle_ = reinterpret_cast<std::intptr_t>(handle);
  const DWORD type = ::GetFileType(handle);
  if (type != FILE_TYPE_DISK) {
    return Fail(Failure::kNotRegular, type == FILE_TYPE_PIPE ? "is a pipe" : "is a device");
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle, &info)) {
    return Fail(Failure::kUnreadable, Win32ErrorText(::GetLastError()));
  }
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    return Fail(Failure::kNotRegular, "is a folder");
  }
  size_ = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  failure_ = Failure::kNone;
  error_.clear();
  return true;
}

std::int64_t FileForReading::Read(std::span<std::uint8_t> into) {
  const DWORD wanted = static_cast<DWORD>(into.size() < (1u << 30) ? into.size() : (1u << 30));
  DWORD read = 0;
  if (!::ReadFile(Handle(handle_), into.data(), wanted, &read, nullptr)) {
    error_ = Win32ErrorText(::GetLastError());
    return -1;
  }
  return read;
}

std::filesystem::path FileForReading::Location() { return FinalPathOf(Handle(handle_), &error_); }

std::filesystem::path ResolvedLocation(const std::filesystem::path& path, std::string* error) {
  const UniqueHandle handle(OpenForReading(path));
  if (!handle.valid()) {
    if (error) *error = Win32ErrorText(::GetLastError());
    return {};
  }
  return FinalPathOf(handle.get(), error);
}

bool IsLinkOrJunction(const std::filesystem::path& path) {
  // Opened as the entry itself, not what it leads to; a folder too.
  const UniqueHandle handle(::CreateFileW(
      path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  FILE_ATTRIBUTE_TAG_INFO info{};
  if (!handle.valid() ||
      !::GetFileInformationByHandleEx(handle.get(), FileAttributeTagInfo, &info, sizeof info)) {
    return false;
  }
  // Symbolic links and junctions are name surrogates; other reparse points (files kept in the
  // cloud, deduplicated files) are the file itself and are treated as such.
  return (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
         IsReparseTagNameSurrogate(info.ReparseTag);
}

bool RemoveLinkItself(const std::filesystem::path& path, std::error_code& error) {
  error.clear();
  // A link to a folder and a junction are removed as folders, which removes the link only.
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  const bool removed = attributes != INVALID_FILE_ATTRIBUTES &&
                       (attributes & FILE_ATTRIBUTE_DIRECTORY ? ::RemoveDirectoryW(path.c_str())
                                                              : ::DeleteFileW(path.c_str()));
  if (!removed) error.assign(static_cast<int>(::GetLastError()), std::system_category());
  return removed;
}

}  // namespace rigwright
