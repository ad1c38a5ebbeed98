#include "wrapper/ui/my_edit_browse_ctrl.h"

#include <wx/button.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/textctrl.h>

#include <filesystem>
#include <system_error>

#include "common/path_text.h"
#include "wrapper/ui/export_dialog_model.h"

namespace rigwright {
namespace {

bool Exists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(PathFromUtf8(path), error);
}

bool ConfirmReplace(wxWindow* parent, const std::string& path) {
  const wxString text = wxString::FromUTF8(path) + " already exists.\nDo you want to replace it?";
  return wxMessageBox(text, "Confirm Save As", wxYES_NO | wxICON_QUESTION, parent) == wxYES;
}

}  // namespace

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

// The save dialog asked before replacing the name the user gave it. When the default extension
// is added only afterwards, the file that would be replaced is another one: ask about that, and on
// No offer the dialog again with the final name.
void CMyEditBrowseCtrl::OnBrowse() {
  const std::string current = GetFieldText();
  wxFileName proposed(wxString::FromUTF8(current.empty() ? defaultFileName : current));
  const long style = saveMode ? wxFD_SAVE | wxFD_OVERWRITE_PROMPT : wxFD_OPEN | wxFD_FILE_MUST_EXIST;
  for (;;) {
    wxFileDialog dialog(this, wxFileSelectorPromptStr, proposed.GetPath(), proposed.GetFullName(),
                        wxString::FromUTF8(FileDialogFilter(filter)), style);
    if (dialog.ShowModal() != wxID_OK) return;
    const std::string chosen = dialog.GetPath().utf8_string();
    const std::string final = saveMode ? WithDefaultExtension(chosen, defaultExtension) : chosen;
    if (final == chosen || !Exists(final) || ConfirmReplace(this, final)) {
      SetFieldText(final);
      return;
    }
    proposed.Assign(wxString::FromUTF8(final));
  }
}

}  // namespace rigwright
