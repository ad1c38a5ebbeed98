#include "standin/host/binary_stl.h"

#include <bit>
#include <cstring>
#include <fstream>
#include <iterator>

namespace rigwright::standin {
namespace {

constexpr std::size_t kHeaderSize = 80;
constexpr std::size_t kFacetSize = 50;
constexpr char kHeader[] = "Rigwright development host: binary STL";

void PutUint32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutVector(std::vector<std::uint8_t>& out, const Vec3& v) {
  for (double c : {v.x, v.y, v.z})
    PutUint32(out, std::bit_cast<std::uint32_t>(static_cast<float>(c)));
}

std::uint32_t GetUint32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

Vec3 GetVector(const std::uint8_t* p) {
  const auto f = [](const std::uint8_t* q) { return double{std::bit_cast<float>(GetUint32(q))}; };
  return {f(p), f(p + 4), f(p + 8)};
}

}  // namespace

std::vector<std::uint8_t> EncodeBinaryStl(const std::vector<Triangle>& triangles) {
  std::vector<std::uint8_t> out(kHeaderSize, 0);
  std::memcpy(out.data(), kHeader, sizeof kHeader - 1);
  out.reserve(kHeaderSize + 4 + triangles.size() * kFacetSize);
  PutUint32(out, static_cast<std::uint32_t>(triangles.size()));
  for (const Triangle& t : triangles) {
    PutVector(out, t.normal);
    for (const Vec3& corner : t.corners) PutVector(out, corner);
    out.push_back(0);
    out.push_back(0);
  }
  return out;
}

std::optional<std::vector<Triangle>> ReadBinaryStl(const std::filesystem::path& file,
                                                   std::string* error) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  if (!in.good() && !in.eof()) {
    *error = "cannot read " + file.string();
    return std::nullopt;
  }
  if (bytes.size() < kHeaderSize + 4 || std::memcmp(bytes.data(), "solid", 5) == 0) {
    *error = file.string() + " is not a binary STL file";
    return std::nullopt;
  }
  const std::uint32_t count = GetUint32(bytes.data() + kHeaderSize);
  if (bytes.size() != kHeaderSize + 4 + std::size_t{count} * kFacetSize) {
    *error = file.string() + ": size does not match its " + std::to_string(count) + " triangles";
    return std::nullopt;
  }
  std::vector<Triangle> triangles(count);
  const std::uint8_t* p = bytes.data() + kHeaderSize + 4;
  for (Triangle& t : triangles) {
    t.normal = GetVector(p);
    for (int i = 0; i < 3; ++i) t.corners[i] = GetVector(p + 12 * (i + 1));
    p += kFacetSize;
  }
  return triangles;
}

}  // namespace rigwright::standin
