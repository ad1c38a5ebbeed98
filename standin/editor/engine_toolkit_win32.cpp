#include <wx/app.h>
#include <wx/init.h>
// The toolkit's way to windows.h, which must follow its own socket headers.
#include <wx/msw/wrapwin.h>

#include "standin/editor/engine_toolkit.h"

namespace rigwright::editor {
namespace {

// The engine DLL itself: its windows' classes are registered for it, apart from the program's.
HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

}  // namespace

bool EnsureEngineToolkit(std::string* error) {
  if (wxTheApp) return true;
  wxApp::SetInstance(new wxApp);
  // Without the application's OnInit: that would read the program's command line as the
  // toolkit's own options and stop on a message box at the first one it does not know.
  if (!wxEntryStart(ThisModule())) {
    *error = "cannot start the toolkit";
    return false;
  }
  return true;
}

}  // namespace rigwright::editor
