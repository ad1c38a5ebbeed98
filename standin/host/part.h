// The development host's part: what a CAD part holds as far as Rigwright looks at it. Parts come
// from a part file (part_file.h) or are built in code, and are installed with InstallPart.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "hostapi/host_export.h"

namespace rigwright::standin {

struct Vec3 {
  double x = 0, y = 0, z = 0;
};

// An axis-aligned box between two corners; `min` lies below `max` on every axis.
struct BoxShape {
  Vec3 min, max;
};

// A closed cylinder standing on the disc around `base`, reaching `height` along `axis`.
struct CylinderShape {
  Vec3 base;
  Vec3 axis{0, 0, 1};  // need not be of unit length, must not be zero
  double radius = 1;
  double height = 1;
};

// Triangles over a vertex list, each corner an index into `vertices`, counter-clockwise seen from
// outside. Written as they are: no tolerance applies.
struct MeshShape {
  std::vector<Vec3> vertices;
  std::vector<std::array<std::uint32_t, 3>> triangles;
};

// No shape: the entity is of a kind that has no solid (a line, a point, a note...).
using Shape = std::variant<std::monostate, BoxShape, CylinderShape, MeshShape>;

struct PartEntity {
  std::int32_t identifier = 0;
  std::uint32_t kind = 0;
  std::uint8_t colorNumber = 0;
  std::int32_t level = 0;
  Shape shape;
};

struct PartLevel {
  std::int32_t number = 0;
  std::string name;
  bool active = true;
};

using ColorTable = std::array<std::uint32_t, 256>;

// The host's default palette: 16 basic colours, then a 6x6x6 colour cube and a grey ramp.
HOSTAPI_EXPORT ColorTable DefaultColorTable();

// A colour value from its channels, red in the lowest byte as the host keeps colours.
constexpr std::uint32_t ColorValue(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return static_cast<std::uint32_t>(red) | static_cast<std::uint32_t>(green) << 8 |
         static_cast<std::uint32_t>(blue) << 16;
}

struct PartData {
  bool metric = true;
  std::vector<PartLevel> levels;  // in the host's order, which is not sorted
  // The entity list in list order; an empty slot is a list node without an entity record.
  std::vector<std::optional<PartEntity>> entities;
  // Null when the host offers no colour table manager.
  std::optional<ColorTable> colors = DefaultColorTable();
};

}  // namespace rigwright::standin
