// Marks what the host library exports to the add-ins it loads. Rigwright builds with hidden
// symbols by default, so every host function and type the add-in uses carries this mark.
//
// Where the system needs another mark the build defines it: on Windows the host's functions live
// in the host's DLLs, which export them, and the add-in imports them from there (see
// hostapi/CMakeLists.txt).
#pragma once

#ifndef HOSTAPI_EXPORT
#define HOSTAPI_EXPORT __attribute__((visibility("default")))
#endif
