#include "standin/host/tessellation.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace rigwright::standin {
namespace {

constexpr int kMinSegments = 6;
constexpr int kMaxSegments = 4096;

Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator*(double s, Vec3 a) { return {s * a.x, s * a.y, s * a.z}; }
double Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec3 Normalized(Vec3 a) {
  const double length = std::sqrt(Dot(a, a));
  return length > 0 ? (1 / length) * a : Vec3{};
}

Triangle MakeTriangle(Vec3 a, Vec3 b, Vec3 c) {
  return {Normalized(Cross(b - a, c - a)), {a, b, c}};
}

// The triangle turned so that its normal points along `outward`.
Triangle Outward(Vec3 a, Vec3 b, Vec3 c, Vec3 outward) {
  Triangle t = MakeTriangle(a, b, c);
  return Dot(t.normal, outward) >= 0 ? t : MakeTriangle(a, c, b);
}

void AddBox(const BoxShape& box, std::vector<Triangle>& out) {
  const auto corner = [&](int bits) {
    return Vec3{bits & 1 ? box.max.x : box.min.x, bits & 2 ? box.max.y : box.min.y,
                bits & 4 ? box.max.z : box.min.z};
  };
  // Each face: the axis bit it fixes, and whether it lies on the max side.
  for (int axisBit : {1, 2, 4}) {
    for (bool maxSide : {false, true}) {
      const int others[2] = {axisBit == 1 ? 2 : 1, axisBit == 4 ? 2 : 4};
      const int fixed = maxSide ? axisBit : 0;
      const Vec3 q[4] = {corner(fixed), corner(fixed | others[0]),
                         corner(fixed | others[0] | others[1]), corner(fixed | others[1])};
      const double sign = maxSide ? 1 : -1;
      const Vec3 outward{axisBit == 1 ? sign : 0, axisBit == 2 ? sign : 0, axisBit == 4 ? sign : 0};
      out.push_back(Outward(q[0], q[1], q[2], outward));
      out.push_back(Outward(q[0], q[2], q[3], outward));
    }
  }
}

void AddCylinder(const CylinderShape& cylinder, double tolerance, std::vector<Triangle>& out) {
  const Vec3 axis = Normalized(cylinder.axis);
  const Vec3 helper = std::abs(axis.x) < 0.9 ? Vec3{1, 0, 0} : Vec3{0, 1, 0};
  const Vec3 u = Normalized(Cross(axis, helper));
  const Vec3 v = Cross(axis, u);
  const int n = CircleSegments(cylinder.radius, tolerance);
  std::vector<Vec3> bottom(n), top(n);
  for (int i = 0; i < n; ++i) {
    const double angle = 2 * std::numbers::pi * i / n;
    bottom[i] = cylinder.base + cylinder.radius * (std::cos(angle) * u + std::sin(angle) * v);
    top[i] = bottom[i] + cylinder.height * axis;
  }
  for (int i = 0; i < n; ++i) {
    const int j = (i + 1) % n;
    const Vec3 radial = 0.5 * (bottom[i] + bottom[j]) - cylinder.base;
    out.push_back(Outward(bottom[i], bottom[j], top[j], radial));
    out.push_back(Outward(bottom[i], top[j], top[i], radial));
  }
  for (int i = 1; i + 1 < n; ++i) {
    out.push_back(Outward(top[0], top[i], top[i + 1], axis));
    out.push_back(Outward(bottom[0], bottom[i + 1], bottom[i], -1 * axis));
  }
}

void AddMesh(const MeshShape& mesh, std::vector<Triangle>& out) {
  const auto& v = mesh.vertices;
  for (const auto& corners : mesh.triangles) {
    // Part files are checked on loading; a part built in code may still point past the list.
    if (std::max({corners[0], corners[1], corners[2]}) >= v.size()) continue;
    out.push_back(MakeTriangle(v[corners[0]], v[corners[1]], v[corners[2]]));
  }
}

}  // namespace

int CircleSegments(double radius, double tolerance) {
  if (!(tolerance > 0) || !std::isfinite(tolerance)) return kMaxSegments;
  if (tolerance >= radius) return kMinSegments;
  // A chord over the angle 2*pi/n keeps within r * (1 - cos(pi/n)) of the circle.
  const double segments = std::ceil(std::numbers::pi / std::acos(1 - tolerance / radius));
  return static_cast<int>(std::clamp(segments, double{kMinSegments}, double{kMaxSegments}));
}

std::vector<Triangle> Tessellate(const Shape& shape, double tolerance) {
  std::vector<Triangle> triangles;
  if (const auto* box = std::get_if<BoxShape>(&shape)) AddBox(*box, triangles);
  if (const auto* cylinder = std::get_if<CylinderShape>(&shape)) {
    AddCylinder(*cylinder, tolerance, triangles);
  }
  if (const auto* mesh = std::get_if<MeshShape>(&shape)) AddMesh(*mesh, triangles);
  return triangles;
}

}  // namespace rigwright::standin
