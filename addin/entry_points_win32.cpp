// RigwrightAddin.dll in the host process. The host has a message loop of its own and no toolkit
// the add-in could share, so the add-in brings its toolkit, linked into the DLL, and starts it on
// the host's UI thread at the first command. The host's loop delivers the add-in's window
// messages; a timer of the add-in's toolkit does what the toolkit's own loop would do between
// messages (calls handed to the UI thread, idle work).
//
// The DLL's entry point stands where the shared library's constructor and destructor stand
// elsewhere: attaching records the module, detaching on FreeLibrary ends the add-in's state and
// its toolkit.
#include <wx/app.h>
#include <wx/init.h>
#include <wx/msw/private.h>  // after the toolkit's own headers: it brings windows.h its way
#include <wx/timer.h>

#include <ole2.h>

#include <memory>

#include "addin/addin_module.h"
#include "common/support_log.h"

namespace rigwright {
namespace {

// How often the add-in's toolkit catches up with calls queued for the UI thread.
constexpr int kPumpIntervalMs = 10;

HINSTANCE moduleHandle = nullptr;  // the DLL's own; set on attach

class ToolkitPump final : public wxTimer {
 public:
  void Notify() override {
    if (!wxTheApp) return;
    wxTheApp->ProcessPendingEvents();
    wxTheApp->ProcessIdle();
  }
};

// Null until the first command has started the toolkit; the toolkit is up while it exists.
ToolkitPump* pump = nullptr;

void EndToolkit() {
  if (!pump) return;
  delete pump;
  pump = nullptr;
  wxEntryCleanup();
}

}  // namespace

bool ReadyAddinToolkit() {
  if (pump) return true;
  // The toolkit initialises OLE on this thread and uninitialises it at its clean-up, which runs
  // in the DLL's detach under the loader lock. Were that the thread's last reference, COM would
  // be torn down there (waiting for its threads, freeing its DLLs): a deadlock Windows warns of.
  // A reference of the add-in's own, never given back, keeps that clean-up a count going down;
  // the thread is the host's and keeps OLE as long as it lives, as a host with OLE of its own does.
  static const HRESULT oleHeld = ::OleInitialize(nullptr);
  (void)oleHeld;
  // The add-in's window classes are registered for its own module, apart from the host's.
  wxSetInstance(moduleHandle);
  wxApp::SetInstance(new wxApp);
  int argc = 1;
  wxChar name[] = L"RigwrightAddin";
  wxChar* argv[] = {name, nullptr};
  if (!wxEntryStart(argc, argv)) {
    wxEntryCleanup();
    return false;
  }
  pump = new ToolkitPump;
  pump->Start(kPumpIntervalMs);
  return true;
}

}  // namespace rigwright

// No exception may leave; nothing here throws.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      if (!instance) return FALSE;
      rigwright::moduleHandle = instance;
      return TRUE;
    case DLL_PROCESS_DETACH:
      // At process exit (`reserved` set) the system has ended every other thread already, the
      // link's among them, and takes the windows and the pipe with the process: nothing is
      // ended here, since waiting for the link's thread would never finish.
      if (reserved) return TRUE;
      rigwright::EndAddinState();
      rigwright::EndToolkit();
      rigwright::EndSupportLog();  // the DLL's code and data go with the unload
      return TRUE;
    default:
      return TRUE;
  }
}
