// Stands in for the wrapper in the add-in's tests. Records how it was started, one piece per line,
// in "<RIGWRIGHT_TEST_RECORD_DIR>/<process id>.args" (whole or not at all): its arguments, its own
// path first; on Windows the one command line it was given, which the wrapper reads as text.
// Then, when RIGWRIGHT_TEST_HOLD names a file, keeps running until that file exists or the
// record folder is gone with the test (at most a minute).
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "addin/testing/argument_recorder.h"

int main(int argc, char** argv) {
  const char* folder = std::getenv("RIGWRIGHT_TEST_RECORD_DIR");
  if (!folder || !*folder) return 2;
  const std::filesystem::path file =
      std::filesystem::path(folder) / (std::to_string(rigwright::testing::ProcessId()) + ".args");
  const std::filesystem::path partial = file.string() + ".partial";
  {
    std::ofstream out(partial, std::ios::binary);
    for (const std::string& piece : rigwright::testing::HowStarted(argc, argv))
      out << piece << '\n';
    if (!out) return 3;
  }
  std::filesystem::rename(partial, file);

  const char* hold = std::getenv("RIGWRIGHT_TEST_HOLD");
  if (!hold || !*hold) return 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (!std::filesystem::exists(hold) && std::filesystem::exists(folder) &&
         std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return 0;
}
