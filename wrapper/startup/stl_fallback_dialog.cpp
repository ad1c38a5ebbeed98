#include "wrapper/startup/stl_fallback_dialog.h"

#include <wx/filedlg.h>
#include <wx/msgdlg.h>

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

void CreateStlCallback(char* buffer) {
  try {
    DialogStlRequestUser user;
    CopyToEngineBuffer(RequestStlFiles(WrapperPipeName(), user), buffer);
  } catch (...) {
    buffer[0] = '\0';  // the engine gets "nothing chosen" rather than an exception
  }
}

}  // namespace rigwright
