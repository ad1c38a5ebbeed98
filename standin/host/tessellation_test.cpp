#include "standin/host/tessellation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "common/testing/test_folder.h"
#include "standin/host/binary_stl.h"

namespace rigwright::standin {
namespace {

double DistanceFromAxis(const Vec3& p) { return std::hypot(p.x, p.y); }

Vec3 Centroid(const Triangle& t) {
  return {(t.corners[0].x + t.corners[1].x + t.corners[2].x) / 3,
          (t.corners[0].y + t.corners[1].y + t.corners[2].y) / 3,
          (t.corners[0].z + t.corners[1].z + t.corners[2].z) / 3};
}

// True when the normal points away from `centre`.
bool PointsOut(const Triangle& t, const Vec3& centre) {
  const Vec3 c = Centroid(t);
  return t.normal.x * (c.x - centre.x) + t.normal.y * (c.y - centre.y) +
             t.normal.z * (c.z - centre.z) >
         0;
}

TEST(TessellationTest, SmallerToleranceGivesMoreCylinderFacetsWithinTheTolerance) {
  const CylinderShape cylinder{{0, 0, 0}, {0, 0, 1}, 10, 20};
  std::size_t previous = 0;
  for (double tolerance : {1.0, 0.1, 0.01, 0.001}) {
    const auto triangles = Tessellate(cylinder, tolerance);
    EXPECT_GT(triangles.size(), previous) << "tolerance " << tolerance;
    previous = triangles.size();
    const int n = CircleSegments(10, tolerance);
    EXPECT_EQ(triangles.size(), static_cast<std::size_t>(4 * n - 4));
    // The chord midpoints are the points furthest from the true surface.
    EXPECT_LE(10 * (1 - std::cos(std::numbers::pi / n)), tolerance);
    for (const Triangle& t : triangles) {
      for (const Vec3& corner : t.corners) EXPECT_NEAR(DistanceFromAxis(corner), 10, 1e-9);
      EXPECT_TRUE(PointsOut(t, {0, 0, 10}));
    }
  }
  EXPECT_EQ(CircleSegments(10, 0), CircleSegments(10, -1)) << "no positive tolerance: finest split";
  EXPECT_GT(CircleSegments(10, 0), CircleSegments(10, 0.001));
  EXPECT_EQ(CircleSegments(10, NAN), CircleSegments(10, 0));
}

TEST(TessellationTest, BoxesHaveTwelveOutwardTrianglesAndMeshesStayAsTheyAre) {
  const auto box = Tessellate(BoxShape{{0, 0, 0}, {2, 4, 6}}, 0.001);
  ASSERT_EQ(box.size(), 12u);
  for (const Triangle& t : box) EXPECT_TRUE(PointsOut(t, {1, 2, 3}));
  EXPECT_EQ(Tessellate(BoxShape{{0, 0, 0}, {2, 4, 6}}, 5).size(), 12u);

  const MeshShape mesh{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}, {0, 1, 7}}};
  const auto facets = Tessellate(mesh, 0.001);
  ASSERT_EQ(facets.size(), 1u) << "a triangle pointing past the vertices is left out";
  EXPECT_DOUBLE_EQ(facets[0].normal.z, 1);
  EXPECT_TRUE(Tessellate(std::monostate{}, 0.1).empty());
}

TEST(TessellationTest, BinaryStlRoundTripsAndRejectsOtherFiles) {
  TestFolder dir;
  const auto triangles = Tessellate(BoxShape{{0, 0, 0}, {1, 1, 1}}, 0.1);
  const auto bytes = EncodeBinaryStl(triangles);
  ASSERT_EQ(bytes.size(), 84u + 50u * 12u);
  EXPECT_NE(std::string(bytes.begin(), bytes.begin() + 5), "solid");
  dir.Write("box.stl", std::string(bytes.begin(), bytes.end()));
  std::string error;
  const auto read = ReadBinaryStl(dir.path() / "box.stl", &error);
  ASSERT_TRUE(read) << error;
  ASSERT_EQ(read->size(), 12u);
  EXPECT_EQ((*read)[5].corners[2].x, triangles[5].corners[2].x);

  dir.Write("text.stl", "solid x\nendsolid x\n" + std::string(100, ' '));
  EXPECT_FALSE(ReadBinaryStl(dir.path() / "text.stl", &error));
  dir.Write("short.stl", std::string(bytes.begin(), bytes.end() - 1));
  EXPECT_FALSE(ReadBinaryStl(dir.path() / "short.stl", &error));
  EXPECT_NE(error.find("short.stl"), std::string::npos);
  EXPECT_FALSE(ReadBinaryStl(dir.path() / "missing.stl", &error));
}

}  // namespace
}  // namespace rigwright::standin
