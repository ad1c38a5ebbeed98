// The development host's entity list, levels, selection and units behind hostapi/host_database.h.
#include "hostapi/host_database.h"

#include <algorithm>
#include <unordered_set>

#include "standin/host/host_state.h"

using rigwright::standin::CurrentHost;
using rigwright::standin::HostState;

namespace {

constexpr std::uint8_t kSelectionMark = 4;

std::vector<int> ActiveLevelNumbers(const HostState& host) {
  std::vector<int> numbers;
  for (const auto& level : host.levels) {
    if (level.active) numbers.push_back(level.number);
  }
  return numbers;
}

// Marks every entity whose identifier was picked and whose kind the mask offers.
void MarkPicked(const std::vector<std::int32_t>& picked, long mask) {
  const std::unordered_set<std::int32_t> wanted(picked.begin(), picked.end());
  for (ent& entity : CurrentHost().entities) {
    if ((entity.kind & static_cast<unsigned long>(mask)) != 0 && wanted.count(entity.identifier)) {
      entity.selectionFlags |= kSelectionMark;
    }
  }
}

}  // namespace

void get_active_levels(int* count, int* levels) {
  if (!count) return;
  const std::vector<int> numbers = ActiveLevelNumbers(CurrentHost());
  if (levels) {
    const auto filled = std::min(static_cast<std::size_t>(std::max(*count, 0)), numbers.size());
    std::copy_n(numbers.begin(), filled, levels);
  }
  *count = static_cast<int>(numbers.size());
}

bool GetLevelNumbersByName(const std::string& /*group: the development host has no level sets*/,
                           const std::string& name, std::vector<int>& numbers) {
  numbers.clear();
  for (const auto& level : CurrentHost().levels) {
    if (level.name == name) numbers.push_back(level.number);
  }
  return !numbers.empty();
}

std::string GetLevelName(int level) {
  for (const auto& known : CurrentHost().levels) {
    if (known.number == level) return known.name;
  }
  return {};
}

int SelectEnts(const std::string& prompt, long mask, bool& done, MC_PRESEL /*presel*/,
               ent* /*entities*/, bool /*allowMany*/) {
  const auto& selector = CurrentHost().selector;
  const std::vector<std::int32_t> picked =
      selector ? selector(prompt, mask) : std::vector<std::int32_t>{};
  MarkPicked(picked, mask);
  done = true;
  return static_cast<int>(picked.size());
}

void UnSelectEptr(DB_LIST_ENT* node) {
  if (node && node->entity)
    node->entity->selectionFlags &= static_cast<std::uint8_t>(~kSelectionMark);
}

void sel_bit_turn_on(ent* entity, short bit) {
  if (entity) entity->selectionFlags |= static_cast<std::uint8_t>(bit);
}

void sel_bit_turn_off(ent* entity, short bit) {
  if (entity) entity->selectionFlags &= static_cast<std::uint8_t>(~bit);
}

bool IsMetric() { return CurrentHost().metric; }
