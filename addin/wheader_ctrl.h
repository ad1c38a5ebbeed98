// The STL picker's level list: a report list with a check box in front of every row, whose
// columns are sized as parts of the list's width rather than in pixels.
#pragma once

#include <wx/listctrl.h>

namespace rigwright {

class WHeaderCtrl final : public wxListCtrl {
 public:
  WHeaderCtrl(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size);

  // Appends a left-aligned column. A negative `width` is a percentage of the client width
  // (-10 is a tenth); zero or positive gives the column whatever width the others leave.
  void AddColumn(const wxString& text, int width);

  // Widens (or narrows) the last column so that the columns fill the client width exactly.
  void FitColumnsToClientWidth();

  // Sum of the widths of all columns, in pixels.
  int ColumnWidthSum() const;
};

}  // namespace rigwright
