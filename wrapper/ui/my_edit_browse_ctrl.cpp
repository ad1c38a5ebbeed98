#include "wrapper/ui/my_edit_browse_ctrl.h"

#include <wx/button.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/sizer.h>
#include <wx/textctrl.h>

#include "wrapper/ui/export_dialog_model.h"

namespace rigwright {

CMyEditBrowseCtrl::CMyEditBrowseCtrl(wxWindow* parent, wxWindowID id, const wxPoint& position,
                                     const wxSize& size)
    : wxPanel(parent, id, position, size, wxTAB_TRAVERSAL) {
  field_ = new wxTextCtrl(this, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                          wxBORDER_DEFAULT);
  button_ = new wxButton(this, wxID_ANY, "...", wxDefaultPosition,
                         wxSize(size.GetHeight() * 3 / 2, size.GetHeight()), wxBU_EXACTFIT);
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(field_, 1, wxEXPAND);
  row->Add(button_, 0, wxEXPAND);
  SetSizer(row);
  Layout();
  button_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnBrowse(); });
}

std::string CMyEditBrowseCtrl::GetFieldText() const { return field_->GetValue().utf8_string(); }

void CMyEditBrowseCtrl::SetFieldText(const std::string& text) {
  field_->ChangeValue(wxString::FromUTF8(text));
}

void CMyEditBrowseCtrl::OnBrowse() {
  const std::string current = GetFieldText();
  const wxFileName proposed(wxString::FromUTF8(current.empty() ? defaultFileName : current));
  const long style = saveMode ? wxFD_SAVE | wxFD_OVERWRITE_PROMPT : wxFD_OPEN | wxFD_FILE_MUST_EXIST;
  wxFileDialog dialog(this, wxFileSelectorPromptStr, proposed.GetPath(), proposed.GetFullName(),
                      wxString::FromUTF8(FileDialogFilter(filter)), style);
  if (dialog.ShowModal() != wxID_OK) return;
  std::string chosen = dialog.GetPath().utf8_string();
  if (saveMode) chosen = WithDefaultExtension(chosen, defaultExtension);
  SetFieldText(chosen);
}

}  // namespace rigwright
