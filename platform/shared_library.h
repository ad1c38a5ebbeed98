// Loading a shared library at run time and finding its functions.
#pragma once

#include <memory>
#include <string>

namespace rigwright {

enum class Unloading {
  kOnClose,  // the library goes when the object is destroyed
  kNever,    // the library stays loaded until the process ends (its code may still be running
             // in callbacks or threads it started)
};

class SharedLibrary {
 public:
  virtual ~SharedLibrary() = default;
  // The address of the exported symbol `name`, or null when the library has none.
  virtual void* Symbol(const char* name) const = 0;
};

// Loads `pathOrName`: a path containing a separator is loaded from there, a plain file name
// through the system's normal library search. On Windows a path's folder also becomes the
// process's DLL search folder, so that the DLLs the library brings beside it are found. Null with
// `error` set (naming the library and what the loader said) on failure.
std::unique_ptr<SharedLibrary> LoadSharedLibrary(const std::string& pathOrName, Unloading unloading,
                                                 std::string* error);

// Makes `folder` the process's DLL search folder on Windows (SetDllDirectoryW), so that what is
// loaded later by name is found there too; the outcome is not reported. Nothing elsewhere: the
// search of the system's loader has no such per-process folder.
void SetLibrarySearchFolder(const std::string& folder);

}  // namespace rigwright
