// Fresh identifiers from the system's random source.
#pragma once

#include <array>
#include <cstdint>

namespace rigwright {

// A GUID in its storage layout: a 32-bit field, two 16-bit fields and eight bytes.
struct Guid {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::array<std::uint8_t, 8> data4{};
};

// 16 bytes from the system's random source. False only when the source cannot be read; `guid`
// is then left as it was.
bool NewRandomGuid(Guid* guid);

}  // namespace rigwright
