// Each system's part of the argument recorder.
#pragma once

#include <string>
#include <vector>

namespace rigwright::testing {

long ProcessId();

// What the recorder records of how it was started (UTF-8).
std::vector<std::string> HowStarted(int argc, char** argv);

}  // namespace rigwright::testing
