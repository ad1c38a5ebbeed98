#include <wx/button.h>
#include <wx/progdlg.h>

#include "wrapper/ui/testing/progress_window.h"

namespace rigwright::testing {
namespace {

wxProgressDialog* ShownProgressDialog(const wxString& title) {
  for (wxWindow* window : wxTopLevelWindows) {
    auto* dialog = dynamic_cast<wxProgressDialog*>(window);
    if (dialog && dialog->IsShown() && dialog->GetTitle() == title) return dialog;
  }
  return nullptr;
}

}  // namespace

std::optional<wxRect> ProgressWindowArea(const wxString& title) {
  wxProgressDialog* dialog = ShownProgressDialog(title);
  if (!dialog) return std::nullopt;
  return dialog->GetScreenRect();
}

bool PressProgressCancel(const wxString& title) {
  wxProgressDialog* dialog = ShownProgressDialog(title);
  wxWindow* cancel = dialog ? wxWindow::FindWindowById(wxID_CANCEL, dialog) : nullptr;
  if (!cancel) return false;
  wxCommandEvent click(wxEVT_BUTTON, wxID_CANCEL);
  click.SetEventObject(cancel);
  cancel->GetEventHandler()->ProcessEvent(click);
  return true;
}

}  // namespace rigwright::testing
