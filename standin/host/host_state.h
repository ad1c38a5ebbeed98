// The development host's current part as the host functions see it: entity records, the linked
// entity list, levels and colours. Private to the host library.
#pragma once

#include <deque>
#include <memory>
#include <vector>

#include "hostapi/host_database.h"
#include "standin/host/development_host.h"
#include "standin/host/part.h"

struct EntityGeometry {
  rigwright::standin::Shape shape;
};

namespace rigwright::standin {

struct HostState {
  bool metric = true;
  std::vector<PartLevel> levels;
  std::optional<ColorTable> colors = DefaultColorTable();
  // Deques keep records in place while they grow, so list nodes may point into them.
  std::deque<ent> entities;
  std::deque<EntityGeometry> geometries;
  std::deque<DB_LIST_ENT> nodes;
  InteractiveSelector selector;
};

// The one current part of this process.
HostState& CurrentHost();

}  // namespace rigwright::standin
