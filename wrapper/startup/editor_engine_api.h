// The entry points of the machine-configuration editor engine (MavriloDll.dll on Windows,
// libMavriloDll.so elsewhere), as the wrapper calls them. All three have C linkage and are looked
// up by these names.
#pragma once

#include <cstdint>

extern "C" {

// Fills `buffer` (at least 10240 bytes) with a zero-terminated STL reply: entries joined by ';',
// each a path or "path@0xrrggbb"; empty when nothing was chosen.
typedef void (*MavriloCreateStlFunc)(char* buffer);
// Exports the machine whose configuration file is `machineFile` (zero-terminated).
typedef void (*MavriloExportFunc)(const char* machineFile);

typedef void (*SetCreateSTLFuncEntry)(MavriloCreateStlFunc callback);
typedef void (*SetExportFuncEntry)(MavriloExportFunc callback);
// Runs the editor on `machineFolder` until the user closes it. Texts are zero-terminated and
// their lengths are in bytes. `reserved` and `reservedLength` are always an empty text and 0,
// `reserved64` always 0.
typedef int (*RunMavriloEntry)(const char* machineFolder, std::int32_t machineFolderLength,
                               const char* reserved, std::int32_t reservedLength,
                               std::int32_t defaultUnit, const char* language,
                               std::int32_t languageLength, std::int64_t reserved64);

}  // extern "C"
