// Marks what the host library exports to the add-ins it loads. Rigwright builds with hidden
// symbols by default, so every host function and type the add-in uses carries this mark.
#pragma once

#define HOSTAPI_EXPORT __attribute__((visibility("default")))
