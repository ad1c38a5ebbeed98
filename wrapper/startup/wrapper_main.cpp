// RigwrightWrapper: started by the add-in to run the machine-configuration editor. The toolkit is
// brought up for the dialogs the callbacks show; the editor engine runs its own windows. On
// Windows this stays the entry point of a GUI-subsystem program (the C runtime calls main there
// too), and the command line comes from the system rather than from argv.
#include <wx/app.h>
#include <wx/init.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "common/support_log.h"
#include "common/version.h"
#include "wrapper/startup/stl_fallback_dialog.h"
#include "wrapper/startup/wrapper_process.h"
#include "wrapper/startup/wrapper_run.h"
#include "wrapper/ui/export_callback.h"

// The application object the toolkit needs; the run itself is main's.
class CMinimalApp : public wxApp {};

wxIMPLEMENT_APP_NO_MAIN(CMinimalApp);

int main(int argc, char** argv) {
  // Answered before the toolkit starts, so that it works without a display.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("RigwrightWrapper %s\n", rigwright::kProductVersion);
    return 0;
  }
  // Taken before the toolkit removes the options it recognises from argv.
  const std::string commandLine = rigwright::WrapperCommandLine(argc, argv);
  rigwright::OpenSupportLog("RigwrightWrapper");
  if (!wxEntryStart(argc, argv)) {
    rigwright::LogError("Failed to initialize MFC!: the toolkit cannot start; exit code 1");
    rigwright::TellToolkitFailed();
    return 1;
  }
  rigwright::EngineCallbacks callbacks;
  callbacks.createStl = &rigwright::CreateStlCallback;
  callbacks.exportMachine = &rigwright::ExportMachineCallback;
  const int exitCode = rigwright::RunWrapper(commandLine, callbacks);
  wxEntryCleanup();
  return exitCode;
}
