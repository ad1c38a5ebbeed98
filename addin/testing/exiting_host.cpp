// A host that ends without unloading the add-in, as a host may: it runs the add-in's command,
// closes its only window so that the toolkit's main loop ends, and returns from main with the
// add-in still loaded. The add-in's clean-up then runs among the process's exit handlers, after
// the toolkit has destroyed every window it knew of.
//
//   rigwright_exiting_host [--open-request]
//
// With --open-request, a client asks for STL files and the picker is on screen when the host's
// window closes. Exit code 0 when the host ended cleanly; 3 when the main loop went on after the
// host's last window had closed; 4 when the add-in did not do what the host asked of it.
#include <wx/app.h>
#include <wx/frame.h>
#include <wx/timer.h>
#include <wx/toplevel.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "addin/testing/shown_window.h"
#include "addin/testing/test_install.h"
#include "common/pipe_protocol.h"
#include "platform/message_pipe.h"
#include "platform/shared_library.h"
#include "standin/host/development_host.h"

namespace {

constexpr int kEndedCleanly = 0;
constexpr int kLoopKeptAlive = 3;
constexpr int kAddinFailed = 4;

// How long the main loop may go on after the host's window has closed.
constexpr int kLoopEndLimitMs = 10000;

int verdict = kEndedCleanly;
bool openRequest = false;
std::thread client;  // the wrapper's side of the open request

void Fail(int code, const char* what) {
  std::fprintf(stderr, "rigwright_exiting_host: %s\n", what);
  verdict = code;
}

class ExitingHostApp final : public wxApp {
 public:
  explicit ExitingHostApp(rigwright::testing::TestInstall& install) : install_(install) {}

  bool OnInit() override {
    window_ = new wxFrame(nullptr, wxID_ANY, "Host");
    window_->Show();
    SetTopWindow(window_);
    CallAfter([this] { RunCommand(); });
    return true;
  }

 private:
  void RunCommand() {
    std::string error;
    addin_ =
        rigwright::LoadSharedLibrary(RIGWRIGHT_ADDIN_LIBRARY, rigwright::Unloading::kNever, &error);
    const auto main =
        addin_ ? reinterpret_cast<std::int32_t (*)()>(addin_->Symbol("m_main")) : nullptr;
    if (!main) {
      Fail(kAddinFailed, error.c_str());
      window_->Close();
      return;
    }
    main();
    if (!openRequest) {
      CloseHostWindow();
      return;
    }
    const auto starts = install_.Starts(1);
    const std::string pipeName =
        starts.empty() ? std::string() : rigwright::testing::PipeNameOf(starts[0]);
    client = std::thread([pipeName] {
      const auto connection = rigwright::ConnectToPipe(pipeName);
      std::string reply;
      // Where the add-in's picker outlives the host's toolkit (Windows), the request stays open
      // until the process ends.
      if (connection && connection->Write(rigwright::kStlRequest)) {
        connection->ReadWithin(rigwright::kStlBufferSize, std::chrono::seconds(5), &reply);
      }
    });
    waitForPicker_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
      if (!rigwright::testing::IsWindowShown("STL picker")) return;
      waitForPicker_.Stop();
      CloseHostWindow();
    });
    waitForPicker_.Start(10);
  }

  void CloseHostWindow() {
    loopEndLimit_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
      Fail(kLoopKeptAlive, "the main loop went on after the host's last window had closed");
      ExitMainLoop();
    });
    loopEndLimit_.StartOnce(kLoopEndLimitMs);
    window_->Close();
  }

  rigwright::testing::TestInstall& install_;
  wxFrame* window_ = nullptr;
  std::unique_ptr<rigwright::SharedLibrary> addin_;  // stays loaded until the process ends
  wxTimer waitForPicker_;
  wxTimer loopEndLimit_;
};

}  // namespace

int main(int argc, char** argv) {
  openRequest = argc > 1 && std::strcmp(argv[1], "--open-request") == 0;
  rigwright::testing::TestInstall install;
  rigwright::standin::InstallPart({});
  wxApp::SetInstance(new ExitingHostApp(install));
  if (wxEntry(argc, argv) != 0 && verdict == kEndedCleanly) verdict = kAddinFailed;
  if (client.joinable()) client.join();
  // The add-in is still loaded: its state goes with the process's exit handlers, after this.
  return verdict;
}
