// The host's entity database, levels, interactive selection and unit system, as the add-in uses
// them. These are the host's own functions: at run time the host process that loaded the add-in
// provides them. Texts are UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hostapi/host_export.h"

// The host's geometry of one entity; only the host looks inside it.
struct EntityGeometry;

// One entity record. The add-in reads these five fields and leaves the geometry to the host.
struct ent {
  std::uint32_t kind = 0;           // kind code, e.g. 0x100
  std::uint8_t selectionFlags = 0;  // bit value 4 is the selection mark
  std::uint8_t colorNumber = 0;     // index into the host's colour table
  std::int32_t level = 0;           // number of the level the entity lies on
  std::int32_t identifier = 0;      // finds the entity again after an interactive pick
  const EntityGeometry* geometry = nullptr;
};

// One node of the host's entity list; `entity` is null for nodes that hold no entity.
struct DB_LIST_ENT {
  DB_LIST_ENT* next = nullptr;  // null after the last node
  ent* entity = nullptr;
};

// First node of the entity list; null when the part holds no entity.
HOSTAPI_EXPORT extern DB_LIST_ENT* db_start;

// What the host offers as preselection to SelectEnts; the add-in always passes no preselection.
enum MC_PRESEL : int { MC_PRESEL_NONE = 0 };

// Stores the number of active levels in `*count`; when `levels` is not null, also writes the
// numbers of the first `*count` active levels to it.
HOSTAPI_EXPORT void get_active_levels(int* count, int* levels);

// Fills `numbers` with the numbers of the levels named `name` (exact comparison) and returns true,
// or returns false when no level has that name. `group` narrows the search to a level set; empty
// means all levels.
HOSTAPI_EXPORT bool GetLevelNumbersByName(const std::string& group, const std::string& name,
                                          std::vector<int>& numbers);

// The name of level `level`; empty for an unnamed or unknown level.
HOSTAPI_EXPORT std::string GetLevelName(int level);

// Runs the host's interactive selection of entities whose kind matches `mask` and returns when
// the user has finished; the picked entities then carry the selection mark.
HOSTAPI_EXPORT int SelectEnts(const std::string& prompt, long mask, bool& done, MC_PRESEL presel,
                              ent* entities, bool allowMany);

// Clears the selection mark of the node's entity.
HOSTAPI_EXPORT void UnSelectEptr(DB_LIST_ENT* node);

// Set or clear the flag bits `bit` of an entity's selection flags.
HOSTAPI_EXPORT void sel_bit_turn_on(ent* entity, short bit);
HOSTAPI_EXPORT void sel_bit_turn_off(ent* entity, short bit);

// True when the host's current unit system is metric.
HOSTAPI_EXPORT bool IsMetric();
