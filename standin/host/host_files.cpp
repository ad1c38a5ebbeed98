// The development host's files and STL writer behind hostapi/host_files.h.
#include "hostapi/host_files.h"

#include <array>
#include <string>

#include "standin/host/binary_stl.h"
#include "standin/host/host_state.h"
#include "standin/host/not_inherited_mode.h"
#include "standin/host/tessellation.h"

namespace {

constexpr std::uint8_t kSelectionMark = 4;
constexpr std::array<std::uint32_t, 5> kStlKinds = {0x100, 0x10000, 0x20000, 0x100000, 0x200000};

bool IsStlKind(std::uint32_t kind) {
  for (std::uint32_t stlKind : kStlKinds) {
    if (kind == stlKind) return true;
  }
  return false;
}

// The C library mode for a host mode, kept out of child processes; empty for a mode we lack.
std::string LibraryMode(const std::string& mode) {
  if (mode != "wb" && mode != "rb") return {};
  return mode + rigwright::standin::kNotInheritedMode;
}

}  // namespace

SysFile::~SysFile() = default;

MCFileBase::~MCFileBase() { Close(); }

bool MCFileBase::Open(const std::string& name, const std::string& mode, int /*share*/) {
  Close();
  const std::string libraryMode = LibraryMode(mode);
  if (libraryMode.empty() || name.empty()) return false;
  file_ = std::fopen(name.c_str(), libraryMode.c_str());
  return file_ != nullptr;
}

void MCFileBase::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

bool MCFileBase::IsOpen() const { return file_ != nullptr; }

bool MCFileBase::Write(const void* data, std::size_t size) {
  return file_ && std::fwrite(data, 1, size, file_) == size && std::fflush(file_) == 0;
}

MCFile::MCFile() = default;
MCFile::~MCFile() = default;

void wr_stl(double tolerance, SysFile& file, const std::string& /*path*/, long /*mode*/,
            bool /*flag1*/, bool /*flag2*/, bool /*flag3*/, bool /*flag4*/, bool /*flag5*/) {
  if (!file.IsOpen()) return;
  std::vector<rigwright::standin::Triangle> triangles;
  for (const DB_LIST_ENT* node = db_start; node; node = node->next) {
    const ent* entity = node->entity;
    if (!entity || !(entity->selectionFlags & kSelectionMark) || !IsStlKind(entity->kind)) continue;
    if (!entity->geometry) continue;
    const auto facets = rigwright::standin::Tessellate(entity->geometry->shape, tolerance);
    triangles.insert(triangles.end(), facets.begin(), facets.end());
  }
  const std::vector<std::uint8_t> bytes = rigwright::standin::EncodeBinaryStl(triangles);
  file.Write(bytes.data(), bytes.size());
}
