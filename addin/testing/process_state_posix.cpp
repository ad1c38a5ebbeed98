#include <dlfcn.h>

#include <filesystem>

#include "addin/testing/process_state.h"

namespace rigwright::testing {

bool IsLibraryLoaded(const std::string& path) {
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (!handle) return false;
  ::dlclose(handle);
  return true;
}

std::optional<std::size_t> OwnThreadCount() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    ++count;
  }
  return count;
}

}  // namespace rigwright::testing
