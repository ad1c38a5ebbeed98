#include "addin/wheader_ctrl.h"

#include "addin/stl_picker_state.h"

namespace rigwright {

WHeaderCtrl::WHeaderCtrl(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size)
    : wxListCtrl(parent, id, pos, size,
                 wxLC_REPORT | wxLC_SINGLE_SEL | wxLC_NO_SORT_HEADER | wxBORDER_SUNKEN |
                     wxTAB_TRAVERSAL) {
  EnableCheckBoxes(true);
}

void WHeaderCtrl::AddColumn(const wxString& text, int width) {
  const int columnWidth =
      LevelColumnWidth(width, GetClientSize().GetWidth(), ColumnWidthSum());
  AppendColumn(text, wxLIST_FORMAT_LEFT, columnWidth);
}

void WHeaderCtrl::FitColumnsToClientWidth() {
  const int columns = GetColumnCount();
  if (columns == 0) return;
  const int last = columns - 1;
  SetColumnWidth(last, FittedLastColumnWidth(GetColumnWidth(last), GetClientSize().GetWidth(),
                                             ColumnWidthSum()));
  Refresh();
}

int WHeaderCtrl::ColumnWidthSum() const {
  int sum = 0;
  for (int column = 0; column < GetColumnCount(); ++column) sum += GetColumnWidth(column);
  return sum;
}

}  // namespace rigwright
