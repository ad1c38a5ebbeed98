// The export callback the wrapper registers with the editor engine.
#pragma once

namespace rigwright {

// Called by the engine, on its thread, with the path (UTF-8, NUL-terminated) of the machine file
// it has just saved. Runs the export dialog modally and returns when it closes. Nothing thrown
// inside reaches the engine.
void ExportMachineCallback(const char* machineFile);

}  // namespace rigwright
