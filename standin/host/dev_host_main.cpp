// RigwrightDevHost: the development host application. Stands in for the CAD host: loads a part and
// the add-in, and offers the add-in's command. Ends cleanly (add-in unloaded) also when the
// system asks it to end (end_requests.h). Options: see dev_host_options.h, or run it with --help.
#include <wx/app.h>

#include <cstdio>
#include <string>
#include <vector>

#include "standin/host/dev_host_options.h"
#include "standin/host/dev_host_window.h"
#include "standin/host/end_requests.h"
#include "standin/host/scripted_user.h"

namespace {

// The toolkit's own consistency checks go to stderr: a modal report would stop a scripted run
// that has no one to answer it.
void ReportAssertion(const wxString& file, int line, const wxString& function,
                     const wxString& condition, const wxString& message) {
  std::fprintf(stderr, "RigwrightDevHost: toolkit check failed at %s:%d in %s: %s %s\n",
               file.utf8_str().data(), line, function.utf8_str().data(),
               condition.utf8_str().data(), message.utf8_str().data());
}

class DevHostApp final : public wxApp {
 public:
  bool OnInit() override {
    wxSetAssertHandler(ReportAssertion);
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(argv[i].utf8_string());
    rigwright::standin::DevHostOptions options;
    std::string error;
    if (!rigwright::standin::ParseDevHostOptions(arguments, &options, &error)) {
      std::fprintf(stderr, "RigwrightDevHost: %s (see --help)\n", error.c_str());
      return false;
    }
    if (options.showHelp) {  // reached only when the toolkit's own options came with it
      std::fputs(rigwright::standin::DevHostUsage().c_str(), stdout);
      helpOnly_ = true;
      return true;
    }
    auto* window = new rigwright::standin::DevHostWindow(options);
    // Before the add-in is loaded, so that a signal at any time after it ends the host cleanly.
    SetTopWindow(window);
    rigwright::standin::CloseTopWindowOnEndRequests(*this);
    if (!window->Start(&error)) {
      std::fprintf(stderr, "RigwrightDevHost: %s\n", error.c_str());
      window->Destroy();
      return false;
    }
    window->Show();
    // A scripted user for the add-in's windows, when a run is automated.
    rigwright::standin::StartScriptedUser();
    if (options.runRigwright) CallAfter([window] { window->RunRigwright(); });
    return true;
  }

  int OnRun() override { return helpOnly_ ? 0 : wxApp::OnRun(); }

 private:
  bool helpOnly_ = false;  // --help was answered; there is nothing to run
};

// --help is answered before the toolkit starts, which needs a display. Other option errors are
// left to the application: the toolkit first takes out its own options (such as --display).
bool PrintedHelp(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  rigwright::standin::DevHostOptions options;
  std::string error;
  if (!rigwright::standin::ParseDevHostOptions(arguments, &options, &error) || !options.showHelp) {
    return false;
  }
  std::fputs(rigwright::standin::DevHostUsage().c_str(), stdout);
  return true;
}

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(DevHostApp);

int main(int argc, char** argv) {
  if (PrintedHelp(argc, argv)) return 0;
  return wxEntry(argc, argv);
}
