// What the development host's windows show of the current part, without the toolkit: one row per
// entity, and the entities an interactive selection offers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "standin/host/part.h"

namespace rigwright::standin {

struct EntityRow {
  std::int32_t identifier = 0;
  std::string kind;  // "0x100"
  std::int32_t level = 0;
  int colorNumber = 0;
  std::string shape;  // "box", "cylinder", "mesh" or "-" for a kind without a solid
};

// Every kind matches this mask.
inline constexpr long kAllKinds = -1;

// The part's entities in list order whose kind shares a bit with `kindMask`; list nodes without an
// entity are left out.
std::vector<EntityRow> EntityRows(const PartData& part, long kindMask = kAllKinds);

}  // namespace rigwright::standin
