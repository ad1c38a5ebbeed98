#include <stdlib.h>

#include "addin/testing/test_install.h"

namespace rigwright::testing {

const char TestInstall::kWrapperFile[] = "RigwrightWrapper";

void TestInstall::PointSettingsAtInstall() {
  root.Write("config/Orvane/Orvane Rigwright for Mastercam.conf", "Directory=" + install + "\n");
  SetEnvironment("XDG_CONFIG_DIRS", root.text() + "config");
}

void TestInstall::RestoreSettings() {}  // the settings file goes with the test folder

void TestInstall::ChangeEnvironment(const std::string& name, const char* value) {
  if (value) {
    ::setenv(name.c_str(), value, 1);
  } else {
    ::unsetenv(name.c_str());
  }
}

// The recorder gets its path and each option piece as one argument.
std::vector<std::string> TestInstall::Expected(const std::string& machineFolder,
                                               const std::string& unit,
                                               const std::string& pipeName) const {
  return {wrapperPath, "--language=\"en-US\"", "--machineDirectory=\"" + machineFolder + "\"",
          "--defaultUnit=" + unit, "--pipeName=\"" + pipeName + "\""};
}

}  // namespace rigwright::testing
