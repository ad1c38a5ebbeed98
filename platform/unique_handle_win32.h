// Owns one Win32 handle and closes it once. Only for *_win32.cpp files.
#pragma once

#include <windows.h>

#include <utility>

namespace rigwright {

class UniqueHandle {
 public:
  UniqueHandle() = default;
  // Takes `handle`; null and INVALID_HANDLE_VALUE both mean nothing is owned.
  explicit UniqueHandle(HANDLE handle)
      : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.handle_, nullptr));
    return *this;
  }
  ~UniqueHandle() { Reset(); }

  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != nullptr; }
  void Reset(HANDLE handle = nullptr) {
    if (handle_) ::CloseHandle(handle_);
    handle_ = handle == INVALID_HANDLE_VALUE ? nullptr : handle;
  }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace rigwright
