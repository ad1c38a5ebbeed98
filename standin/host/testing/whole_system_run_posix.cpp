#include <cstdlib>
#include <fstream>
#include <iterator>

#include "standin/host/testing/whole_system_run.h"

namespace rigwright::testing {

namespace {

std::string ReadText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool IsEmptyFolder(const std::filesystem::path& folder) {
  std::error_code error;
  return std::filesystem::is_empty(folder, error) && !error;
}

}  // namespace

WholeSystemRun PlayWholeSystem(const std::filesystem::path& scratch) {
  WholeSystemRun run;
  run.out = scratch / "demo";
  run.installed = run.out / "appdata" / "Kelmora" / "MachineCfg" / "Demo Mill";
  const std::filesystem::path log = scratch / "demo.log";
  std::string command = "'" RIGWRIGHT_SOURCE_DIR "/scripts/demo.sh' '" RIGWRIGHT_BINARY_DIR "' '" +
                        run.out.string() + "' >'" + log.string() + "' 2>&1";
  if (!std::getenv("DISPLAY")) command = "xvfb-run -a " + command;
  if (std::system(command.c_str()) != 0) run.failure = ReadText(log);
  if (!IsEmptyFolder(run.out / "tmp")) run.leftovers.push_back("the wrapper's working folder");
  if (!IsEmptyFolder(run.out / "runtime" / "rigwright")) run.leftovers.push_back("the pipe");
  return run;
}

}  // namespace rigwright::testing
