// The host's colour table: 256 colour numbers, each with a colour value that holds red in bits
// 0 to 7, green in bits 8 to 15 and blue in bits 16 to 23.
#pragma once

#include <cstdint>
#include <memory>

#include "hostapi/host_export.h"

class HOSTAPI_EXPORT IColorTableManager {
 public:
  virtual ~IColorTableManager();
  // Number of entries in the table.
  virtual int ColorCount() const = 0;
  // The colour value of colour number `colorNumber`; 0 for a number outside the table.
  virtual std::uint32_t GetColorValue(int colorNumber) const = 0;
};

namespace Cnc {
// The host's colour table manager; null when the host has none.
HOSTAPI_EXPORT std::shared_ptr<IColorTableManager> GetColorTableManager();
}  // namespace Cnc
