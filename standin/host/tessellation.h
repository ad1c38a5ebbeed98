// Turning the development host's shapes into triangles for its STL writer.
#pragma once

#include <array>
#include <vector>

#include "hostapi/host_export.h"
#include "standin/host/part.h"

namespace rigwright::standin {

struct Triangle {
  Vec3 normal;  // unit length, pointing out of the solid
  std::array<Vec3, 3> corners;
};

// The triangles of `shape`. Curved faces are split so that no point of the true surface lies
// further than `tolerance` from the facets; a smaller tolerance gives more facets. A tolerance
// that is not a positive number gives the finest split the host offers. Boxes have 12 triangles
// whatever the tolerance; meshes keep their triangles; a shape-less entity gives none.
HOSTAPI_EXPORT std::vector<Triangle> Tessellate(const Shape& shape, double tolerance);

// Number of segments a circle of `radius` is split into for `tolerance`.
HOSTAPI_EXPORT int CircleSegments(double radius, double tolerance);

}  // namespace rigwright::standin
