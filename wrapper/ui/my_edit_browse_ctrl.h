// A text field with a browse button that opens a file dialog, for the export dialog's save-as
// and post fields.
#pragma once

#include <wx/panel.h>

#include <string>

class wxButton;
class wxTextCtrl;

namespace rigwright {

class CMyEditBrowseCtrl : public wxPanel {
 public:
  CMyEditBrowseCtrl(wxWindow* parent, wxWindowID id, const wxPoint& position, const wxSize& size);

  std::string GetFieldText() const;  // UTF-8
  void SetFieldText(const std::string& text);
  wxTextCtrl* field() const { return field_; }
  wxButton* browseButton() const { return button_; }

  // Proposed in the file dialog while the field is empty.
  std::string defaultFileName;
  // Added by the save dialog to a name typed without an extension.
  std::string defaultExtension = ".OrvaneSimBundle";
  // "Description|pattern|...||".
  std::string filter = "OrvaneSimBundle Files (*.OrvaneSimBundle)|*.OrvaneSimBundle||";
  // True: the button shows a save dialog that asks before overwriting; false: an open dialog.
  bool saveMode = true;

 protected:
  // The browse button's action: shows the file dialog and takes the chosen path, with the default
  // extension added in save mode (asking before a file of that name is replaced).
  virtual void OnBrowse();

 private:
  wxTextCtrl* field_;
  wxButton* button_;
};

}  // namespace rigwright
