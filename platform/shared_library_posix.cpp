#include "platform/shared_library.h"

#include <dlfcn.h>

namespace rigwright {
namespace {

class PosixSharedLibrary final : public SharedLibrary {
 public:
  explicit PosixSharedLibrary(void* handle) : handle_(handle) {}
  ~PosixSharedLibrary() override { ::dlclose(handle_); }

  void* Symbol(const char* name) const override { return ::dlsym(handle_, name); }

 private:
  void* handle_;
};

}  // namespace

std::unique_ptr<SharedLibrary> LoadSharedLibrary(const std::string& pathOrName, Unloading unloading,
                                                 std::string* error) {
  int flags = RTLD_NOW | RTLD_LOCAL;
  if (unloading == Unloading::kNever) flags |= RTLD_NODELETE;
  void* handle = ::dlopen(pathOrName.c_str(), flags);
  if (!handle) {
    const char* reason = ::dlerror();
    *error = "cannot load " + pathOrName + ": " + (reason ? reason : "unknown error");
    return nullptr;
  }
  return std::make_unique<PosixSharedLibrary>(handle);
}

void SetLibrarySearchFolder(const std::string&) {}

}  // namespace rigwright
