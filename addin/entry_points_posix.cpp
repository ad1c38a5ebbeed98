// The add-in as a shared library of the host process: the second names of two entry points, and
// the end of the add-in's state when the library is unloaded (or, in a host that ends with the
// add-in still loaded, among the process's exit handlers).
#include "addin/addin_module.h"
#include "addin/entry_points.h"

RIGWRIGHT_ADDIN_EXPORT std::int32_t m_run_rigwright() __attribute__((alias("m_main")));

RIGWRIGHT_ADDIN_EXPORT std::int32_t RibbonGroupRigwright() __attribute__((alias("m_open")));

namespace rigwright {
namespace {

// The add-in's windows belong to the host's toolkit, which is up whenever the host calls in.
struct LibraryEnd {
  ~LibraryEnd() { EndAddinState(); }
} libraryEnd;

}  // namespace

bool ReadyAddinToolkit() { return true; }

}  // namespace rigwright
