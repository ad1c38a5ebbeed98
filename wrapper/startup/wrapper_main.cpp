// RigwrightWrapper: started by the add-in to run the machine-configuration editor. The toolkit is
// brought up for the dialogs the callbacks show; the editor engine runs its own windows.
#include <wx/app.h>
#include <wx/init.h>

#include <cstdio>
#include <string>

#include "wrapper/startup/stl_fallback_dialog.h"
#include "wrapper/startup/wrapper_options.h"
#include "wrapper/startup/wrapper_run.h"
#include "wrapper/ui/export_callback.h"

// The application object the toolkit needs; the run itself is main's.
class CMinimalApp : public wxApp {};

wxIMPLEMENT_APP_NO_MAIN(CMinimalApp);

int main(int argc, char** argv) {
  // Taken before the toolkit removes the options it recognises from argv.
  const std::string commandLine = rigwright::JoinCommandLine(argc, argv);
  if (!wxEntryStart(argc, argv)) {
    // Without a display no message box can be shown; the terminal or the log is all there is.
    std::fputs("Failed to initialize MFC!\n", stderr);
    return 1;
  }
  rigwright::EngineCallbacks callbacks;
  callbacks.createStl = &rigwright::CreateStlCallback;
  callbacks.exportMachine = &rigwright::ExportMachineCallback;
  const int exitCode = rigwright::RunWrapper(commandLine, callbacks);
  wxEntryCleanup();
  return exitCode;
}
