#include "standin/host/development_host.h"

#include <utility>

#include "standin/host/host_state.h"

DB_LIST_ENT* db_start = nullptr;

namespace rigwright::standin {
namespace {

// Links the nodes in order and points db_start at the first.
void LinkEntityList(HostState& host) {
  DB_LIST_ENT* previous = nullptr;
  for (DB_LIST_ENT& node : host.nodes) {
    if (previous) previous->next = &node;
    previous = &node;
  }
  db_start = host.nodes.empty() ? nullptr : &host.nodes.front();
}

}  // namespace

HostState& CurrentHost() {
  static HostState host;
  return host;
}

void InstallPart(PartData part) {
  HostState& host = CurrentHost();
  db_start = nullptr;
  host.metric = part.metric;
  host.levels = std::move(part.levels);
  host.colors = part.colors;
  host.entities.clear();
  host.geometries.clear();
  host.nodes.clear();
  for (std::optional<PartEntity>& source : part.entities) {
    DB_LIST_ENT& node = host.nodes.emplace_back();
    if (!source) continue;
    EntityGeometry& geometry =
        host.geometries.emplace_back(EntityGeometry{std::move(source->shape)});
    ent& record = host.entities.emplace_back();
    record.kind = source->kind;
    record.colorNumber = source->colorNumber;
    record.level = source->level;
    record.identifier = source->identifier;
    record.geometry = &geometry;
    node.entity = &record;
  }
  LinkEntityList(host);
}

void ClosePart() { InstallPart(PartData{}); }

void SetMetric(bool metric) { CurrentHost().metric = metric; }

void SetInteractiveSelector(InteractiveSelector selector) {
  CurrentHost().selector = std::move(selector);
}

ColorTable DefaultColorTable() {
  static constexpr std::uint8_t kBasic[16][3] = {
      {0, 0, 0},     {0, 0, 128},     {0, 128, 0},     {0, 128, 128},  {128, 0, 0}, {128, 0, 128},
      {128, 128, 0}, {192, 192, 192}, {128, 128, 128}, {0, 0, 255},    {0, 255, 0}, {0, 255, 255},
      {255, 0, 0},   {255, 0, 255},   {255, 255, 0},   {255, 255, 255}};
  ColorTable table{};
  for (int i = 0; i < 16; ++i) table[i] = ColorValue(kBasic[i][0], kBasic[i][1], kBasic[i][2]);
  for (int i = 0; i < 216; ++i) {
    const auto level = [](int step) { return static_cast<std::uint8_t>(step * 51); };
    table[16 + i] = ColorValue(level(i / 36), level(i / 6 % 6), level(i % 6));
  }
  for (int i = 0; i < 24; ++i) {
    const auto grey = static_cast<std::uint8_t>(8 + i * 10);
    table[232 + i] = ColorValue(grey, grey, grey);
  }
  return table;
}

}  // namespace rigwright::standin
