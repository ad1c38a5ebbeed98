// An add-in built for another host series: its version is outside 2400 to 2499.
#include <cstdint>

extern "C" __attribute__((visibility("default"))) std::int32_t m_version(std::int32_t) {
  return 2300;
}
extern "C" __attribute__((visibility("default"))) std::int32_t m_main() { return 0; }
