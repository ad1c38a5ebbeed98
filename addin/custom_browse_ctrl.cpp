#include "addin/custom_browse_ctrl.h"

#include <wx/button.h>
#include <wx/dirdlg.h>
#include <wx/filedlg.h>
#include <wx/sizer.h>
#include <wx/textctrl.h>

namespace rigwright {

CustomBrowseCtrl::CustomBrowseCtrl(wxWindow* parent, wxWindowID id, const wxPoint& pos,
                                   const wxSize& size)
    : wxPanel(parent, id, pos, size, wxTAB_TRAVERSAL | wxBORDER_NONE) {
  field_ = new wxTextCtrl(this, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize,
                          wxBORDER_SUNKEN);
  // A square button as high as the field, as edit-browse fields show it.
  browseButton_ = new wxButton(this, wxID_ANY, "...", wxDefaultPosition,
                               wxSize(size.GetHeight(), size.GetHeight()), wxBU_EXACTFIT);
  browseButton_->SetToolTip("Browse for an STL file");
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(field_, 1, wxEXPAND);
  row->Add(browseButton_, 0, wxEXPAND);
  SetSizer(row);
  Layout();
  browseButton_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnBrowse(); });
}

wxString CustomBrowseCtrl::GetValue() const { return field_->GetValue(); }

void CustomBrowseCtrl::SetValue(const wxString& text) { field_->ChangeValue(text); }

void CustomBrowseCtrl::OnBrowse() {
  if (fileMode) {
    // Owned by no window, like the picker itself: it is modal to the whole application.
    wxFileDialog dialog(nullptr, wxFileSelectorPromptStr, wxString(), wxString(), filter,
                        wxFD_OPEN);
    if (dialog.ShowModal() == wxID_OK) SetValue(dialog.GetPath());
    return;
  }
  wxDirDialog dialog(nullptr);
  if (dialog.ShowModal() == wxID_OK) SetValue(dialog.GetPath());
}

}  // namespace rigwright
