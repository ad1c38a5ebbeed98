#include "standin/host/entity_selection_dialog.h"

#include <wx/listctrl.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include <algorithm>

namespace rigwright::standin {
namespace {

wxString FromUtf8(std::string_view text) { return wxString::FromUTF8(text.data(), text.size()); }

}  // namespace

EntitySelectionDialog::EntitySelectionDialog(wxWindow* parent, const PartData& part,
                                             std::string_view prompt, long kindMask)
    : wxDialog(parent, wxID_ANY, "Select entities", wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      rows_(EntityRows(part, kindMask)) {
  list_ = new wxListCtrl(this, wxID_ANY, wxDefaultPosition, wxSize(420, 260), wxLC_REPORT);
  const char* titles[] = {"Id", "Kind", "Level", "Colour", "Shape"};
  for (int column = 0; column < 5; ++column) list_->AppendColumn(titles[column]);
  for (const EntityRow& row : rows_) {
    const long item =
        list_->InsertItem(list_->GetItemCount(), wxString::Format("%d", row.identifier));
    list_->SetItem(item, 1, row.kind);
    list_->SetItem(item, 2, wxString::Format("%d", row.level));
    list_->SetItem(item, 3, wxString::Format("%d", row.colorNumber));
    list_->SetItem(item, 4, row.shape);
  }
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(new wxStaticText(this, wxID_ANY, FromUtf8(prompt)), 0, wxALL, 8);
  sizer->Add(list_, 1, wxEXPAND | wxLEFT | wxRIGHT, 8);
  sizer->Add(CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, 8);
  SetSizerAndFit(sizer);
}

std::vector<std::int32_t> EntitySelectionDialog::PickedIds() const {
  std::vector<std::int32_t> ids;
  for (long item = list_->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); item != -1;
       item = list_->GetNextItem(item, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED)) {
    ids.push_back(rows_[static_cast<std::size_t>(item)].identifier);
  }
  return ids;
}

void EntitySelectionDialog::SelectIds(const std::vector<std::int32_t>& ids) {
  for (std::size_t row = 0; row < rows_.size(); ++row) {
    if (std::find(ids.begin(), ids.end(), rows_[row].identifier) == ids.end()) continue;
    list_->SetItemState(static_cast<long>(row), wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
  }
}

int EntitySelectionDialog::RowCount() const { return list_->GetItemCount(); }

}  // namespace rigwright::standin
