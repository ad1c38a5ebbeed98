#include "platform/random_guid.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>

namespace rigwright {

bool NewRandomGuid(Guid* guid) {
  unsigned char bytes[16];
  std::size_t filled = 0;
  while (filled < sizeof(bytes)) {
    const ssize_t n = ::getrandom(bytes + filled, sizeof(bytes) - filled, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    filled += static_cast<std::size_t>(n);
  }
  std::memcpy(&guid->data1, bytes, 4);
  std::memcpy(&guid->data2, bytes + 4, 2);
  std::memcpy(&guid->data3, bytes + 6, 2);
  std::memcpy(guid->data4.data(), bytes + 8, 8);
  return true;
}

}  // namespace rigwright
