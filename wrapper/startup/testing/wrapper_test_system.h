// Test support for the tests that run the real wrapper program: what they arrange on the system
// the wrapper runs on. The wrapper reads its temporary folder and its install folder from the
// system (environment variables and a settings file on Linux, the registry on Windows) and is
// started with one command line.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "common/testing/scoped_environment.h"
#include "common/testing/test_folder.h"

namespace rigwright {

class WrapperTestSystem {
 public:
  // Prepares a pipe place and a copy of the wrapper program inside `root` where the system needs
  // them. Environment variables go through `environment`, which must outlive this object.
  WrapperTestSystem(const TestFolder& root, ScopedEnvironment& environment);
  // Restores what was changed outside `root` and `environment` (the registry value on Windows).
  ~WrapperTestSystem();
  WrapperTestSystem(const WrapperTestSystem&) = delete;
  WrapperTestSystem& operator=(const WrapperTestSystem&) = delete;

  // Whether the wrapper's toolkit can start here; without it the wrapper ends with exit code 1.
  static bool HasDisplay();
  // Whether the toolkit needs a display at all (it does on Linux, not on Windows).
  static bool ToolkitNeedsDisplay();
  // A path of the build tree (the build's own form) as the wrapper sees it, with the system's
  // separators and `ending` appended: under Wine the build's Unix paths lie on drive Z:.
  static std::string SystemPath(const std::string& buildPath, const std::string& ending = "");
  // The system's own separator.
  static char Separator();

  // Makes `folder` (UTF-8, in the system's own form, ending in its separator) the temporary
  // folder the wrapper finds.
  void SetTemporaryFolder(const std::string& folder);
  // A temporary folder the wrapper finds but cannot make its working folder in.
  std::string UnusableTemporaryFolder() const;
  // Records `folder` (ending in a separator) as the install folder, as the installer would.
  void SetInstallFolder(const std::string& folder);

  // Runs the wrapper with `options` after the program name, separated by blanks and passed as
  // they are, to its end (two minutes at most). Returns its exit code, or -1 when it could not be
  // started or had to be stopped; what it wrote to stderr lands in `errors`.
  int RunWrapper(const std::vector<std::string>& options, std::string* errors);

 private:
  const TestFolder& root_;
  ScopedEnvironment& environment_;
  std::string program_;           // the wrapper program the tests run
  std::shared_ptr<void> savedSettings_;  // Windows: the settings before the install folder was set
};

}  // namespace rigwright
