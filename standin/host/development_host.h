// Control of the development host: which part the host functions of hostapi/ work on, and who
// answers the host's interactive selection. The host application installs a part from a part
// file and plugs in a selection dialog; tests install parts built in code and plug in scripts.
//
// Like the host it stands in for, the development host keeps one current part per process and
// expects to be driven from one thread at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "hostapi/host_export.h"
#include "standin/host/part.h"

namespace rigwright::standin {

// Makes `part` the host's current part: the entity list, levels, colours and units of the host
// functions now come from it, and every selection mark starts cleared. Entity records and list
// nodes stay where they are until the next InstallPart or ClosePart.
HOSTAPI_EXPORT void InstallPart(PartData part);

// Leaves the host with an empty part: no levels, no entities, the default colours, metric units.
HOSTAPI_EXPORT void ClosePart();

// Switches the host's unit system, as the user does in the host: IsMetric answers `metric` from
// now on, whatever the part was read with.
HOSTAPI_EXPORT void SetMetric(bool metric);

// Answers the host's interactive selection: receives the prompt and the kind mask that SelectEnts
// was given and returns the identifiers of the entities the user picked. The host then marks the
// entities with those identifiers whose kind matches the mask.
using InteractiveSelector =
    std::function<std::vector<std::int32_t>(std::string_view prompt, long kindMask)>;

// Plugs in the selector that SelectEnts runs; an empty function makes every pick pick nothing.
HOSTAPI_EXPORT void SetInteractiveSelector(InteractiveSelector selector);

}  // namespace rigwright::standin
