#include <fstream>
#include <iterator>

#include "standin/host/testing/whole_system_run.h"

namespace rigwright::testing {

WholeSystemRun PlayWholeSystem(const std::filesystem::path&) {
  WholeSystemRun run;
  // Made by scripts/demo-windows.sh, which fails (and so fails this test's fixture) when the
  // wrapper leaves its working folder or the packages leave files behind.
  run.out = RIGWRIGHT_WHOLE_SYSTEM_RUN;
  run.installed = run.out / "machine" / "Demo Mill";
  if (!std::filesystem::is_regular_file(run.out / "host.log")) {
    run.failure = "the run under Wine left no host.log in " + run.out.string();
  }
  return run;
}

}  // namespace rigwright::testing
