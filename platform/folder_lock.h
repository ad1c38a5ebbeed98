// An exclusive lock on a folder, held by a writer that puts several files into it together, so
// that two writers into one folder take turns instead of mixing their files. Advisory: it binds
// only the writers that take it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace rigwright {

class FolderLock {
 public:
  FolderLock() = default;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  ~FolderLock();  // releases the lock; so does the end of the process, however it ends

  // Takes the lock of `folder`, waiting while another writer holds it: `waiting` is called once
  // before the wait (optional), and `cancelled` (optional) is asked during it; true ends the
  // wait with false and an empty `error`. False, with `error` set to what the system said, when
  // the folder cannot be locked. A file system that has no locks counts as locked.
  bool Lock(const std::filesystem::path& folder, const std::function<void()>& waiting,
            const std::function<bool()>& cancelled, std::string* error);

 private:
  enum class Attempt { kLocked, kBusy, kFailed };
  Attempt TryLock(const std::filesystem::path& folder, std::string* error);
  void Release();

  std::intptr_t handle_ = -1;  // what holds the lock, as the system gives it; -1 for nothing
};

}  // namespace rigwright
