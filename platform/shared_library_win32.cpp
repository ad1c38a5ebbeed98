#include <windows.h>

#include <algorithm>

#include "common/path_text.h"
#include "platform/shared_library.h"
#include "platform/text_win32.h"

namespace rigwright {
namespace {

// The loader wants backslashes; Rigwright's paths may have either.
std::wstring LoaderPath(const std::string& path) {
  std::wstring wide = Utf16FromUtf8(path);
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  return wide;
}

class Win32SharedLibrary final : public SharedLibrary {
 public:
  Win32SharedLibrary(HMODULE module, Unloading unloading)
      : module_(module), unloading_(unloading) {}
  ~Win32SharedLibrary() override {
    if (unloading_ == Unloading::kOnClose) ::FreeLibrary(module_);
  }

  void* Symbol(const char* name) const override {
    return reinterpret_cast<void*>(::GetProcAddress(module_, name));
  }

 private:
  HMODULE module_;
  Unloading unloading_;
};

}  // namespace

std::unique_ptr<SharedLibrary> LoadSharedLibrary(const std::string& pathOrName, Unloading unloading,
                                                 std::string* error) {
  // A library loaded from a folder finds the DLLs it brings beside it: the folder joins the
  // process's DLL search (and stays there, for what the library loads later).
  const std::string folder(DirectoryPrefixOf(pathOrName));
  if (!folder.empty()) SetLibrarySearchFolder(folder);
  const HMODULE module = ::LoadLibraryW(LoaderPath(pathOrName).c_str());
  if (!module) {
    *error = "cannot load " + pathOrName + ": " + Win32ErrorText(::GetLastError());
    return nullptr;
  }
  return std::make_unique<Win32SharedLibrary>(module, unloading);
}

void SetLibrarySearchFolder(const std::string& folder) {
  ::SetDllDirectoryW(LoaderPath(folder).c_str());
}

}  // namespace rigwright
