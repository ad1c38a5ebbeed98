#include "standin/host/part_view.h"

#include <cstdio>

namespace rigwright::standin {
namespace {

std::string ShapeName(const Shape& shape) {
  static constexpr const char* kNames[] = {"-", "box", "cylinder", "mesh"};
  return kNames[shape.index()];
}

std::string KindText(std::uint32_t kind) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%X", kind);
  return text;
}

}  // namespace

std::vector<EntityRow> EntityRows(const PartData& part, long kindMask) {
  std::vector<EntityRow> rows;
  for (const std::optional<PartEntity>& entity : part.entities) {
    if (!entity || (entity->kind & static_cast<unsigned long>(kindMask)) == 0) continue;
    rows.push_back({entity->identifier, KindText(entity->kind), entity->level, entity->colorNumber,
                    ShapeName(entity->shape)});
  }
  return rows;
}

}  // namespace rigwright::standin
