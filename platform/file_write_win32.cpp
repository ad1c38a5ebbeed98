#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

#include "common/path_text.h"
#include "platform/file_write.h"
#include "platform/text_win32.h"

namespace rigwright {
namespace {

std::string Win32Error(const std::string& context, const std::filesystem::path& path, DWORD code) {
  return context + " " + Utf8FromPath(path) + ": " + Win32ErrorText(code);
}

// Positioned reads and writes: each call names its offset, so that writing the header last and
// reading back never disturbs where the next piece goes.
OVERLAPPED At(std::uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return at;
}

bool WriteAllAt(HANDLE file, std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  constexpr std::size_t kChunk = 1u << 30;
  while (!bytes.empty()) {
    const DWORD wanted = static_cast<DWORD>(bytes.size() < kChunk ? bytes.size() : kChunk);
    DWORD written = 0;
    OVERLAPPED at = At(offset);
    if (!::WriteFile(file, bytes.data(), wanted, &written, &at) || written == 0) return false;
    bytes = bytes.subspan(written);
    offset += written;
  }
  return true;
}

// Whether the file is deleted when its last handle closes.
bool SetDeleteOnClose(HANDLE file, bool remove) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = remove ? TRUE : FALSE;
  return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                      sizeof(disposition)) != 0;
}

}  // namespace

bool SyncFolder(const std::filesystem::path&, std::string*) {
  // Renames are made write-through (MOVEFILE_WRITE_THROUGH), which puts them on the disk.
  return true;
}

int SweepDeadTemporaries(const std::filesystem::path& folder) {
  int removed = 0;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    // A live writer holds its file open without sharing its deletion, so deleting it fails
    // while the writer lives; one that ended, was killed or lost power holds nothing.
    if (IsOurTemporaryName(Utf8FromPath(it->path().filename())) &&
        ::DeleteFileW(it->path().c_str())) {
      ++removed;
    }
  }
  return removed;
}

struct NewFile::Native {
  HANDLE handle = INVALID_HANDLE_VALUE;
};

NewFile::NewFile() = default;

NewFile::~NewFile() {
  if (!finished_) Remove();
}

bool NewFile::Failed(const char* operation, int err) {
  error_ = Win32Error(operation, shownAs_, static_cast<DWORD>(err));
  return false;
}

bool NewFile::Create(const std::filesystem::path& path, const std::filesystem::path& shownAs,
                     Use use) {
  use_ = use;
  shownAs_ = shownAs.empty() ? path : shownAs;
  // No sharing: nobody reads the file before it is complete. A scratch file is marked
  // temporary, which keeps it in memory rather than on the disk where memory allows.
  const DWORD attributes = use == Use::kScratch ? FILE_ATTRIBUTE_TEMPORARY : FILE_ATTRIBUTE_NORMAL;
  auto file = std::make_unique<Native>();
  file->handle = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               attributes, nullptr);
  if (file->handle == INVALID_HANDLE_VALUE) return Failed("cannot create", ::GetLastError());
  file_ = std::move(file);
  path_ = path;  // only a file this made is ever removed
  return true;
}

bool NewFile::CreateTemporary(const std::filesystem::path& path,
                              const std::filesystem::path& shownAs, Use use) {
  use_ = use;
  shownAs_ = shownAs.empty() ? path : shownAs;
  // Not hidden: the file keeps its attributes when it is renamed over its target.
  const DWORD attributes = use == Use::kScratch ? FILE_ATTRIBUTE_TEMPORARY : FILE_ATTRIBUTE_NORMAL;
  // DELETE access lets the file's deletion be set and cleared through this handle. No sharing,
  // deletion included: a sweep of another process then cannot remove it while this one lives.
  auto file = std::make_unique<Native>();
  file->handle = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                               CREATE_NEW, attributes, nullptr);
  if (file->handle == INVALID_HANDLE_VALUE) return Failed("cannot create", ::GetLastError());
  // Deleted by the system when its handle closes, however this process ends, until Name. Where
  // the file system refuses, the file stays named and the sweep of a later run removes it.
  unnamed_ = SetDeleteOnClose(file->handle, true);
  file_ = std::move(file);
  path_ = path;
  return true;
}

bool NewFile::Flush() {
  return ::FlushFileBuffers(file_->handle) || Failed("cannot write", ::GetLastError());
}

bool NewFile::Name() {
  if (!unnamed_) return true;
  if (!SetDeleteOnClose(file_->handle, false)) return Failed("cannot create", ::GetLastError());
  unnamed_ = false;
  return true;
}

bool NewFile::Write(std::span<const std::uint8_t> bytes) {
  if (!WriteAllAt(file_->handle, size_, bytes)) return Failed("cannot write", ::GetLastError());
  size_ += bytes.size();
  return true;
}

bool NewFile::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  if (!WriteAllAt(file_->handle, offset, bytes)) return Failed("cannot write", ::GetLastError());
  return true;
}

std::int64_t NewFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) {
  const DWORD wanted = static_cast<DWORD>(into.size() < (1u << 30) ? into.size() : (1u << 30));
  DWORD read = 0;
  OVERLAPPED at = At(offset);
  if (::ReadFile(file_->handle, into.data(), wanted, &read, &at)) return read;
  const DWORD code = ::GetLastError();
  if (code == ERROR_HANDLE_EOF) return 0;
  Failed("cannot read", code);
  return -1;
}

bool NewFile::Finish(bool sync) {
  if (sync && !Flush()) return false;
  if (!Name()) return false;
  const HANDLE handle = file_->handle;
  file_.reset();
  if (!::CloseHandle(handle)) return Failed("cannot write", ::GetLastError());
  finished_ = true;
  return true;
}

void NewFile::Remove() {
  if (file_) ::CloseHandle(file_->handle);
  file_.reset();
  // A file still marked for deletion went with its handle.
  if (!path_.empty() && !unnamed_) ::DeleteFileW(path_.c_str());
  path_.clear();
  unnamed_ = false;
}

std::string WhyNotReplaceable(const std::filesystem::path& target) {
  // The access and sharing a rename over the target needs: the open fails exactly when another
  // handle to the file does not share its deletion. Folders open too (KeepAside refuses them with
  // its own words), and a link is asked about itself, not what it leads to.
  const HANDLE file = ::CreateFileW(
      target.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    ::CloseHandle(file);
    return {};
  }
  const DWORD code = ::GetLastError();
  if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION) {
    return "cannot replace " + Utf8FromPath(target) + ": " + std::string(kHeldByAnotherProgram);
  }
  // Read-only, or an image being run: the rename would fail the same way.
  if (code == ERROR_ACCESS_DENIED) return Win32Error("cannot replace", target, code);
  return {};  // missing, or something the rename itself will tell
}

// Windows lets only an administrator flush a whole volume, so each file is flushed; its name is
// written through by the rename.
bool SyncFilesTogether(const std::vector<std::filesystem::path>& files,
                       const std::vector<std::filesystem::path>& shownAs, std::string* error) {
  for (std::size_t i = 0; i < files.size(); ++i) {
    const HANDLE file = ::CreateFileW(files[i].c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const bool ok = file != INVALID_HANDLE_VALUE && ::FlushFileBuffers(file);
    const DWORD code = ::GetLastError();
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
    if (!ok) {
      *error = Win32Error("cannot write", i < shownAs.size() ? shownAs[i] : files[i], code);
      return false;
    }
  }
  return true;
}

bool ReplaceFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to,
                           std::string* error, bool) {
  // Write-through: the call returns once the new name is on the disk.
  if (!::MoveFileExW(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    *error = Win32Error("cannot replace", to, ::GetLastError());
    return false;
  }
  return true;
}

bool KeepAside(const std::filesystem::path& target, const std::filesystem::path& aside, bool* kept,
               std::string* error) {
  *kept = false;
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return true;
    *error = Win32Error("cannot replace", target, code);
    return false;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    // The same words as on every other system, so that the message reads the same.
    *error =
        "cannot replace " + Utf8FromPath(target) + ": " + std::generic_category().message(EISDIR);
    return false;
  }
  // A second link keeps the target in place meanwhile; a volume without links (FAT on a memory
  // stick) still allows the move.
  if (!::CreateHardLinkW(aside.c_str(), target.c_str(), nullptr) &&
      !::MoveFileExW(target.c_str(), aside.c_str(), MOVEFILE_WRITE_THROUGH)) {
    *error = Win32Error("cannot replace", target, ::GetLastError());
    return false;
  }
  *kept = true;
  return true;
}

}  // namespace rigwright
