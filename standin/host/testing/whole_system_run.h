// Test support for the whole-system test: one scripted run of the whole system (scripts/demo.sh,
// or on Windows scripts/demo-windows.sh from the installers) and where its results are.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace rigwright::testing {

struct WholeSystemRun {
  std::string failure;              // empty when the run ended cleanly; else what it printed
  std::filesystem::path out;        // bundles/, screenshots/, messages.txt, host.log
  std::filesystem::path installed;  // the machine's folder in Kelmora's machine folder
  // What the run left that it must not (the wrapper's working folder, the pipe).
  std::vector<std::string> leftovers;
};

// Linux: plays the run into `scratch`. Windows: the run is made under Wine before the test (by
// ctest, the test's fixture), which only looks at what it left.
WholeSystemRun PlayWholeSystem(const std::filesystem::path& scratch);

}  // namespace rigwright::testing
