// STL files from the host's geometry: the levels the picker offers, the interactive pick of
// entities, and one STL file written through the host's STL writer from the entities of a level
// or from picked entities. The add-in never triangulates anything itself: it marks the entities
// that belong in the file, lets the host write the marked entities, and clears the marks again.
//
// Every operation leaves no selection mark behind in the host. All run on the host's UI thread,
// except GetStlLevels, which the picker may call from the pipe link's thread.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace rigwright {

// Offered levels by ascending level number: the host's active levels without those named
// "Orvane" or "KELMORA", which are reserved for the simulator's own geometry.
using LevelCatalogue = std::map<std::int32_t, std::string>;

// A colour as the host's colour table gives it: red in bits 0 to 7, green in 8 to 15, blue in
// 16 to 23.
using StlColor = std::uint32_t;

LevelCatalogue GetStlLevels();

// Clears the host's selection, runs the host's interactive pick of solids and surfaces, and
// returns the identifiers of the picked entities in list order (empty when nothing was picked).
// The host shows no selection afterwards.
std::vector<std::int32_t> PickEntitiesInHost();

// Writes the level's entities of the STL kinds to the file `path` (UTF-8) with the chord
// tolerance `tolerance`. Clears every mark of the host first. False, with no file created or
// touched, when the level has no such entity; false when the file cannot be opened. When `color`
// is given and the host has a colour table, it receives the colour of the largest colour number
// among the written entities.
bool WriteLevelStl(std::int32_t level, const std::string& path, double tolerance, StlColor* color);

// Writes the picked entities of the STL kinds to `path`, finding each identifier's first entity
// in the host's list; identifiers that are gone and entities of other kinds are passed over.
// Clears every mark of the host first, so that nothing selected since the pick is written. False,
// with no file created or touched, when none of them can be written; false when the file cannot be
// opened. `color` as for WriteLevelStl.
bool WriteEntitiesStl(const std::vector<std::int32_t>& identifiers, const std::string& path,
                      double tolerance, StlColor* color);

// The colour a generated solid is shown in: each channel scaled by 0.72 (in single precision,
// truncated), so that solids read darker than the host draws them.
StlColor DarkenStlColor(StlColor color);

// "0x" and six lowercase hexadecimal digits in the order red, green, blue: red 183 gives
// "0xb70000".
std::string FormatStlColor(StlColor color);

}  // namespace rigwright
