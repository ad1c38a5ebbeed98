// Times WriteEntitiesStl on a large part: 200,000 entities on 20 levels, 10,000 of them picked.
// It also times the call when the file cannot be opened (finding, marking and unmarking only),
// WriteLevelStl on one level, and, with --with-list-walks, finding each picked identifier by a
// walk from the start of the entity list (to mark and again to unmark), which is what the one
// identifier index per call replaces. That last run takes about a minute.
//
//   stl_generation_perftest [--with-list-walks] [entities] [picked]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "addin/stl_generation.h"
#include "hostapi/host_database.h"
#include "hostapi/host_files.h"
#include "standin/host/development_host.h"

namespace {

using rigwright::standin::PartData;
using rigwright::standin::PartEntity;

PartData BuildPart(int entities) {
  PartData part;
  for (int level = 1; level <= 20; ++level)
    part.levels.push_back({level, "Level " + std::to_string(level), true});
  part.entities.reserve(static_cast<std::size_t>(entities));
  for (int i = 0; i < entities; ++i) {
    if (i % 50 == 49) {
      part.entities.emplace_back(std::nullopt);  // a node without an entity
      continue;
    }
    const double x = i % 1000;
    PartEntity entity{i + 1, i % 10 == 0 ? 0x1u : 0x100u, static_cast<std::uint8_t>(i % 256),
                      1 + i % 20, rigwright::standin::BoxShape{{x, 0, 0}, {x + 1, 1, 1}}};
    part.entities.emplace_back(std::move(entity));
  }
  return part;
}

std::vector<std::int32_t> PickIdentifiers(int entities, int picked) {
  std::vector<std::int32_t> all(static_cast<std::size_t>(entities));
  for (int i = 0; i < entities; ++i) all[static_cast<std::size_t>(i)] = i + 1;
  std::mt19937 random(2026);
  std::shuffle(all.begin(), all.end(), random);
  all.resize(static_cast<std::size_t>(picked));
  return all;
}

double Milliseconds(const std::function<void()>& run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

constexpr int kRounds = 7;

// Runs `run` kRounds times and prints the fastest and the median time.
void Report(const char* what, const std::function<void()>& run) {
  std::vector<double> times;
  for (int i = 0; i < kRounds; ++i) times.push_back(Milliseconds(run));
  std::sort(times.begin(), times.end());
  std::printf("%-52s best %8.1f ms, median %8.1f ms (%d runs)\n", what, times.front(),
              times[times.size() / 2], kRounds);
}

ent* FirstFromStart(std::int32_t identifier) {
  for (DB_LIST_ENT* node = db_start; node; node = node->next) {
    if (node->entity && node->entity->identifier == identifier) return node->entity;
  }
  return nullptr;
}

// Finding each identifier by a walk from the start of the list, once to mark, once to unmark.
void MarkAndUnmarkByListWalks(const std::vector<std::int32_t>& identifiers) {
  for (std::int32_t id : identifiers) {
    if (ent* entity = FirstFromStart(id); entity && entity->kind == 0x100)
      sel_bit_turn_on(entity, 4);
  }
  for (std::int32_t id : identifiers) {
    if (ent* entity = FirstFromStart(id)) sel_bit_turn_off(entity, 4);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const bool withListWalks = !args.empty() && args.front() == "--with-list-walks";
  if (withListWalks) args.erase(args.begin());
  const int entities = args.size() > 0 ? std::atoi(args[0].c_str()) : 200000;
  const int picked = args.size() > 1 ? std::atoi(args[1].c_str()) : 10000;
  if (entities < 1 || picked < 1 || picked > entities) {
    std::fprintf(stderr,
                 "usage: stl_generation_perftest [--with-list-walks] [entities] [picked]\n");
    return 2;
  }
  rigwright::standin::InstallPart(BuildPart(entities));
  const std::vector<std::int32_t> identifiers = PickIdentifiers(entities, picked);
  const auto folder = std::filesystem::temp_directory_path();
  const std::string path = (folder / "rigwright-perftest.stl").string();
  const std::string unopenable = (folder / "rigwright-perftest-missing" / "x.stl").string();

  std::printf("part: %d entity list nodes, %d picked identifiers\n", entities, picked);
  Report("WriteEntitiesStl", [&] {
    if (!rigwright::WriteEntitiesStl(identifiers, path, 0.1, nullptr)) std::abort();
  });
  std::printf("  entity file: %ju bytes\n",
              static_cast<std::uintmax_t>(std::filesystem::file_size(path)));
  Report("WriteEntitiesStl, file cannot be opened", [&] {
    if (rigwright::WriteEntitiesStl(identifiers, unopenable, 0.1, nullptr)) std::abort();
  });
  Report("WriteLevelStl, one level of 20", [&] {
    if (!rigwright::WriteLevelStl(7, path, 0.1, nullptr)) std::abort();
  });
  if (withListWalks) {
    std::printf("%-52s %8.1f ms (1 run)\n", "marking by a list walk per identifier, no writing",
                Milliseconds([&] { MarkAndUnmarkByListWalks(identifiers); }));
  }
  std::filesystem::remove(path);
  return 0;
}
