#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/child_process.h"
#include "wrapper/startup/testing/wrapper_test_system.h"

namespace rigwright {

WrapperTestSystem::WrapperTestSystem(const TestFolder& root, ScopedEnvironment& environment)
    : root_(root),
      environment_(environment),
      program_(RIGWRIGHT_DEV_INSTALL_DIR "/RigwrightWrapper") {
  for (const char* folder : {"runtime", "config"}) {
    std::filesystem::create_directory(root_.path() / folder);
  }
  ::chmod((root_.path() / "runtime").c_str(), 0700);
  environment_.Set("XDG_RUNTIME_DIR", root_.text() + "runtime");
  environment_.Set("XDG_CONFIG_DIRS", root_.text() + "config");
}

WrapperTestSystem::~WrapperTestSystem() = default;

bool WrapperTestSystem::ToolkitNeedsDisplay() { return true; }

bool WrapperTestSystem::HasDisplay() { return std::getenv("DISPLAY") != nullptr; }

std::string WrapperTestSystem::SystemPath(const std::string& buildPath, const std::string& ending) {
  return buildPath + ending;
}

char WrapperTestSystem::Separator() { return '/'; }

void WrapperTestSystem::SetTemporaryFolder(const std::string& folder) {
  environment_.Set("TMPDIR", folder);
}

std::string WrapperTestSystem::UnusableTemporaryFolder() const { return "/proc/"; }

void WrapperTestSystem::SetInstallFolder(const std::string& folder) {
  root_.Write("config/Orvane/Orvane Rigwright for Mastercam.conf", "Directory=" + folder + "\n");
}

int WrapperTestSystem::RunWrapper(const std::vector<std::string>& options, std::string* errors) {
  const std::string errorsFile = root_.text() + "stderr";
  std::vector<std::string> arguments = {
      "-c", "err=$1; shift; exec timeout -k 5 120 \"$0\" \"$@\" 2>\"$err\"", program_, errorsFile};
  arguments.insert(arguments.end(), options.begin(), options.end());
  std::string error;
  auto wrapper = StartProcess("/bin/sh", arguments, &error);
  if (!wrapper) {
    *errors = error;
    return -1;
  }
  const int exitCode = wrapper->WaitForExit();
  std::ifstream in(errorsFile, std::ios::binary);
  *errors = std::string(std::istreambuf_iterator<char>(in), {});
  return exitCode;
}

}  // namespace rigwright
