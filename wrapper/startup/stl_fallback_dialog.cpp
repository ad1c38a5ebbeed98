#include "wrapper/startup/stl_fallback_dialog.h"

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/filedlg.h>
#include <wx/msgdlg.h>
#include <wx/thread.h>
#include <wx/utils.h>

#include <atomic>
#include <system_error>
#include <thread>

#include "platform/thread_windows.h"

namespace rigwright {

std::vector<std::string> DialogStlRequestUser::ChooseStlFiles() {
  wxFileDialog dialog(nullptr, wxFileSelectorPromptStr, wxEmptyString, wxEmptyString,
                      "STL Files (*.stl)|*.stl|All Files (*.*)|*.*",
                      wxFD_OPEN | wxFD_MULTIPLE | wxFD_FILE_MUST_EXIST);
  if (dialog.ShowModal() != wxID_OK) return {};
  wxArrayString paths;
  dialog.GetPaths(paths);
  std::vector<std::string> chosen;
  for (const wxString& path : paths) chosen.push_back(path.utf8_string());
  return chosen;
}

void DialogStlRequestUser::TellFilesLeftOut(int count) {
  const char* verb = count == 1 ? "was" : "were";
  wxMessageBox(wxString::Format("The list of STL files is too long for the editor. %d of the "
                                "files %s left out; add them in a second step.",
                                count, verb),
               "Rigwright", wxOK | wxICON_NONE);
}

void DialogStlRequestUser::TellFileRefused(const std::string& text) {
  // An input problem: the file dialog comes back for another choice.
  wxMessageBox(wxString::FromUTF8(text), "Rigwright", wxOK | wxICON_EXCLAMATION);
}

void DialogStlRequestUser::AwaitExchange(const std::function<void()>& exchange) {
  if (!wxTheApp || !wxIsMainThread()) return exchange();
  std::atomic<bool> done{false};
  std::thread worker;
  try {
    worker = std::thread([&] {
      exchange();
      done = true;
      wxWakeUpIdle();  // the loop below looks at `done` when it next goes idle
    });
  } catch (const std::system_error&) {
    return exchange();  // no thread to spare: wait as before
  }
  {
    // Nothing reaches the editor until the reply is in: its windows are the toolkit's here, or
    // on Windows those of the engine's own copy of it.
    const wxWindowDisabler noInput;
    const DisabledThreadWindows noEngineInput;
    wxGUIEventLoop loop;
    // A dialog opened meanwhile (by a timer of the editor) runs a loop of its own; this one ends
    // at its first idle time after that dialog has closed.
    const auto endWhenDone = [&](wxIdleEvent& event) {
      event.Skip();
      if (done && wxEventLoopBase::GetActive() == &loop) loop.ScheduleExit();
    };
    wxTheApp->Bind(wxEVT_IDLE, endWhenDone);
    loop.Run();
    wxTheApp->Unbind(wxEVT_IDLE, endWhenDone);
  }
  worker.join();
}

void CreateStlCallback(char* buffer) {
  try {
    DialogStlRequestUser user;
    CopyToEngineBuffer(RequestStlFiles(WrapperPipeName(), user), buffer);
  } catch (...) {
    buffer[0] = '\0';  // the engine gets "nothing chosen" rather than an exception
  }
}

}  // namespace rigwright
