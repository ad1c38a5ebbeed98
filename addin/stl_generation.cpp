#include "addin/stl_generation.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "hostapi/host_colors.h"
#include "hostapi/host_database.h"
#include "hostapi/host_files.h"

namespace rigwright {
namespace {

constexpr short kSelectionMark = 4;
// Solids, surfaces and meshes: the kinds the host's STL writer turns into triangles.
constexpr std::array<std::uint32_t, 5> kStlKinds = {0x100, 0x10000, 0x20000, 0x100000, 0x200000};
// What the interactive pick offers: 0x100, 0x10000 and 0x100000.
constexpr long kPickKindMask = 0x110100;
constexpr int kShareDenyNone = 64;
constexpr const char* kReservedLevelNames[] = {"Orvane", "KELMORA"};

bool IsStlKind(std::uint32_t kind) {
  return std::find(kStlKinds.begin(), kStlKinds.end(), kind) != kStlKinds.end();
}

bool IsMarked(const ent* entity) { return (entity->selectionFlags & kSelectionMark) != 0; }

std::set<int> ReservedLevelNumbers() {
  std::set<int> reserved;
  for (const char* name : kReservedLevelNames) {
    std::vector<int> numbers;
    if (GetLevelNumbersByName("", name, numbers)) reserved.insert(numbers.begin(), numbers.end());
  }
  return reserved;
}

void UnselectMarkedNodes(std::vector<std::int32_t>* identifiers) {
  for (DB_LIST_ENT* node = db_start; node; node = node->next) {
    if (!node->entity || !IsMarked(node->entity)) continue;
    if (identifiers) identifiers->push_back(node->entity->identifier);
    UnSelectEptr(node);
  }
}

void SetMarks(const std::vector<ent*>& entities, bool on) {
  for (ent* entity : entities) {
    on ? sel_bit_turn_on(entity, kSelectionMark) : sel_bit_turn_off(entity, kSelectionMark);
  }
}

// Opens `path`, takes the colour of `colorNumber` and lets the host write the marked entities.
bool WriteMarkedStl(const std::string& path, double tolerance, std::uint8_t colorNumber,
                    StlColor* color) {
  MCFile file;
  if (!file.Open(path, "wb", kShareDenyNone)) return false;
  if (color) {
    if (const auto manager = Cnc::GetColorTableManager()) {
      *color = manager->GetColorValue(colorNumber);
    }
  }
  wr_stl(tolerance, file, path, -1, false, true, true, true, false);
  return true;
}

// Clears every selection mark in the host's list and finds the first entity of each wanted
// identifier, in one walk. Entities the user selected in the host after the pick must not be
// written with the picked ones.
std::unordered_map<std::int32_t, ent*> ClearMarksAndFindFirst(
    const std::vector<std::int32_t>& wanted) {
  std::unordered_set<std::int32_t> missing(wanted.begin(), wanted.end());
  std::unordered_map<std::int32_t, ent*> found;
  found.reserve(missing.size());
  for (DB_LIST_ENT* node = db_start; node; node = node->next) {
    if (!node->entity) continue;
    sel_bit_turn_off(node->entity, kSelectionMark);
    if (missing.erase(node->entity->identifier)) {
      found.emplace(node->entity->identifier, node->entity);
    }
  }
  return found;
}

}  // namespace

LevelCatalogue GetStlLevels() {
  int count = 0;
  get_active_levels(&count, nullptr);
  if (count < 1) return {};
  std::vector<int> numbers(static_cast<std::size_t>(count), 0);
  get_active_levels(&count, numbers.data());
  numbers.resize(std::min(numbers.size(), static_cast<std::size_t>(std::max(count, 0))));

  const std::set<int> reserved = ReservedLevelNumbers();
  LevelCatalogue catalogue;
  for (int number : numbers) {
    if (!reserved.count(number)) catalogue[number] = GetLevelName(number);
  }
  return catalogue;
}

std::vector<std::int32_t> PickEntitiesInHost() {
  UnselectMarkedNodes(nullptr);
  bool done = false;
  SelectEnts("*", kPickKindMask, done, MC_PRESEL_NONE, nullptr, true);
  std::vector<std::int32_t> picked;
  UnselectMarkedNodes(&picked);
  return picked;
}

bool WriteLevelStl(std::int32_t level, const std::string& path, double tolerance, StlColor* color) {
  std::vector<ent*> members;
  std::uint8_t colorMax = 0;
  for (DB_LIST_ENT* node = db_start; node; node = node->next) {
    ent* entity = node->entity;
    if (!entity) continue;
    if (entity->level == level && IsStlKind(entity->kind)) {
      members.push_back(entity);
      colorMax = std::max(colorMax, entity->colorNumber);
    }
    sel_bit_turn_off(entity, kSelectionMark);
  }
  if (members.empty()) return false;
  SetMarks(members, true);
  const bool written = WriteMarkedStl(path, tolerance, colorMax, color);
  SetMarks(members, false);
  return written;
}

bool WriteEntitiesStl(const std::vector<std::int32_t>& identifiers, const std::string& path,
                      double tolerance, StlColor* color) {
  if (identifiers.empty()) return false;
  const auto entities = ClearMarksAndFindFirst(identifiers);
  std::vector<ent*> marked;
  std::uint8_t colorMax = 0;
  for (std::int32_t identifier : identifiers) {
    const auto found = entities.find(identifier);
    if (found == entities.end() || !IsStlKind(found->second->kind)) continue;
    sel_bit_turn_on(found->second, kSelectionMark);
    marked.push_back(found->second);
    colorMax = std::max(colorMax, found->second->colorNumber);
  }
  // Nothing to write must not leave an empty STL file that looks like a solid.
  const bool written = !marked.empty() && WriteMarkedStl(path, tolerance, colorMax, color);
  for (const auto& [identifier, entity] : entities) sel_bit_turn_off(entity, kSelectionMark);
  return written;
}

StlColor DarkenStlColor(StlColor color) {
  const auto darken = [color](int shift) {
    const float channel = static_cast<float>((color >> shift) & 0xFF);
    return static_cast<StlColor>(channel * 0.72f) << shift;
  };
  return darken(0) | darken(8) | darken(16);
}

std::string FormatStlColor(StlColor color) {
  const unsigned rgb = (color & 0xFF) << 16 | (color & 0xFF00) | (color >> 16 & 0xFF);
  char text[9];
  std::snprintf(text, sizeof text, "0x%06x", rgb);
  return text;
}

}  // namespace rigwright
