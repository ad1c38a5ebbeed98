// A text field with a browse button at its right end: the STL picker's field for an existing STL
// file. The field may be typed into as well; the picker reads it only when the user presses OK.
#pragma once

#include <wx/panel.h>
#include <wx/string.h>

class wxButton;
class wxTextCtrl;

namespace rigwright {

class CustomBrowseCtrl final : public wxPanel {
 public:
  CustomBrowseCtrl(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size);

  wxString GetValue() const;
  void SetValue(const wxString& text);

  wxTextCtrl* field() const { return field_; }
  wxButton* browseButton() const { return browseButton_; }

  // The browse button's action: in file mode, the system's file-open dialog over the filter;
  // otherwise its folder dialog. A confirmed choice replaces the field's text with the chosen
  // path; cancelling leaves the field as it was.
  void OnBrowse();

  // True: the button picks a file (the picker's only use); false: it picks a folder.
  bool fileMode = true;
  // File dialog filter, in wx's "description|pattern" form.
  wxString filter = "STL Files (*.stl)|*.stl";

 private:
  wxTextCtrl* field_;
  wxButton* browseButton_;
};

}  // namespace rigwright
