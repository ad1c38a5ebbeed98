// Test support for the add-in's STL code: small parts for the development host, built in code,
// and looks into the host's entity list.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "hostapi/host_database.h"
#include "standin/host/binary_stl.h"
#include "standin/host/development_host.h"
#include "standin/host/part.h"

namespace rigwright::testing {

using standin::PartData;
using standin::PartEntity;

// A 1x1x1 box: 12 triangles whatever the tolerance.
inline PartEntity Box(std::int32_t id, std::int32_t level, std::uint8_t color,
                      std::uint32_t kind = 0x100) {
  return {id, kind, color, level, standin::BoxShape{{0, 0, 0}, {1, 1, 1}}};
}

// A cylinder of radius 10: its triangle count grows as the tolerance shrinks.
inline PartEntity Cylinder(std::int32_t id, std::int32_t level, std::uint8_t color,
                           std::uint32_t kind = 0x10000) {
  return {id, kind, color, level, standin::CylinderShape{{0, 0, 0}, {0, 0, 1}, 10, 20}};
}

// An entity of a kind without a solid (a line).
inline PartEntity Line(std::int32_t id, std::int32_t level, std::uint8_t color) {
  return {id, 0x1, color, level, std::monostate{}};
}

inline ent* FindEntity(std::int32_t id) {
  for (DB_LIST_ENT* node = db_start; node; node = node->next) {
    if (node->entity && node->entity->identifier == id) return node->entity;
  }
  return nullptr;
}

// Identifiers of the entities that carry the selection mark, in list order.
inline std::vector<std::int32_t> MarkedIds() {
  std::vector<std::int32_t> marked;
  for (DB_LIST_ENT* node = db_start; node; node = node->next) {
    if (node->entity && (node->entity->selectionFlags & 4))
      marked.push_back(node->entity->identifier);
  }
  return marked;
}

// Triangles in a binary STL file; -1 when it is missing or not binary STL.
inline long TriangleCount(const std::filesystem::path& file) {
  std::string error;
  const auto triangles = standin::ReadBinaryStl(file, &error);
  return triangles ? static_cast<long>(triangles->size()) : -1;
}

}  // namespace rigwright::testing
