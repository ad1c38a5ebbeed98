// The add-in as a shared library of the host process: its state ends when the library is
// unloaded (or, in a host that ends with the add-in still loaded, among the process's exit
// handlers).
#include "addin/addin_module.h"
#include "common/support_log.h"

namespace rigwright {
namespace {

// The add-in's windows belong to the host's toolkit, which is up whenever the host calls in.
struct LibraryEnd {
  ~LibraryEnd() {
    EndAddinState();
    EndSupportLog();  // the library's code and data go with the unload
  }
} libraryEnd;

}  // namespace

bool ReadyAddinToolkit() { return true; }

}  // namespace rigwright
