// Binary STL as the development host writes it: an 80-byte header that never begins with
// "solid", a 32-bit little-endian triangle count, then 50 bytes per triangle (normal and three
// corners as little-endian 32-bit floats, and a 16-bit attribute of 0).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "hostapi/host_export.h"
#include "standin/host/tessellation.h"

namespace rigwright::standin {

HOSTAPI_EXPORT std::vector<std::uint8_t> EncodeBinaryStl(const std::vector<Triangle>& triangles);

// Reads a binary STL file. Empty (with `error` saying why) when the file cannot be read, is not
// binary STL, or its size does not match its triangle count.
HOSTAPI_EXPORT std::optional<std::vector<Triangle>> ReadBinaryStl(const std::filesystem::path& file,
                                                                  std::string* error);

}  // namespace rigwright::standin
