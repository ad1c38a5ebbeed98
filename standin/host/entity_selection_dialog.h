// The development host's interactive selection: lists the part's entities of the kinds offered and
// lets the user pick several at once.
#pragma once

#include <wx/dialog.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "standin/host/part_view.h"

class wxListCtrl;

namespace rigwright::standin {

class EntitySelectionDialog final : public wxDialog {
 public:
  EntitySelectionDialog(wxWindow* parent, const PartData& part, std::string_view prompt,
                        long kindMask);

  // The identifiers of the rows selected, in list order.
  std::vector<std::int32_t> PickedIds() const;

  // Selects the rows of `ids` as a user would; rows not offered are ignored. For tests.
  void SelectIds(const std::vector<std::int32_t>& ids);

  // Number of entities offered.
  int RowCount() const;

 private:
  std::vector<EntityRow> rows_;  // row i of the list
  wxListCtrl* list_ = nullptr;
};

}  // namespace rigwright::standin
