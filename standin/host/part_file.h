// Part files of the development host: a small JSON document with the part's units, levels,
// colours and entity list (see data/sample-part.json).
//
//   {
//     "units": "mm" | "inch",
//     "levels": [ {"number": 1, "name": "Base", "active": true}, ... ],
//     "colors": { "12": "#b70000", ... },          optional changes to the default palette
//     "entities": [
//       {"id": 1, "kind": "0x100", "level": 1, "color": 12,
//        "box": {"min": [x, y, z], "max": [x, y, z]}},
//       {..., "cylinder": {"base": [x, y, z], "axis": [x, y, z], "radius": r, "height": h}},
//       {..., "mesh": {"vertices": [[x, y, z], ...], "triangles": [[0, 1, 2], ...]}},
//       {..., no shape: a kind without a solid},
//       null                                        a list node without an entity
//     ]
//   }
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "hostapi/host_export.h"
#include "standin/host/part.h"

namespace rigwright::standin {

// Reads a part file. Empty, with `error` naming the file and the field at fault, when the file
// cannot be read or is not a valid part.
HOSTAPI_EXPORT std::optional<PartData> LoadPartFile(const std::filesystem::path& file,
                                                    std::string* error);

// Reads a part from JSON text; `origin` names the text in error messages.
HOSTAPI_EXPORT std::optional<PartData> ParsePart(std::string_view json, std::string_view origin,
                                                 std::string* error);

}  // namespace rigwright::standin
