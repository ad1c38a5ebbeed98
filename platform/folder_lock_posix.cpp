#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "platform/folder_lock.h"

namespace rigwright {

// The folder's own descriptor is locked (flock), so no lock file is left in the folder; the lock
// belongs to the open descriptor and so ends with the process however it ends.
FolderLock::Attempt FolderLock::TryLock(const std::filesystem::path& folder, std::string* error) {
  if (handle_ < 0) {
    handle_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle_ < 0) {
      *error = std::generic_category().message(errno);
      return Attempt::kFailed;
    }
  }
  if (::flock(static_cast<int>(handle_), LOCK_EX | LOCK_NB) == 0) return Attempt::kLocked;
  if (errno == EWOULDBLOCK || errno == EINTR) return Attempt::kBusy;
  return Attempt::kLocked;  // ENOLCK and the like: a file system without locks
}

void FolderLock::Release() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
}

}  // namespace rigwright
