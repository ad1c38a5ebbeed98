#include <unistd.h>

#include "addin/testing/argument_recorder.h"

namespace rigwright::testing {

long ProcessId() { return static_cast<long>(::getpid()); }

std::vector<std::string> HowStarted(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

}  // namespace rigwright::testing
