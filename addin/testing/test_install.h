// Test support for the launch of the wrapper: a test install folder, with spaces in its path,
// whose "wrapper" is the argument recorder (testing/argument_recorder.cpp), the system's settings
// pointing at it (a settings file; on Windows the registry value, which tests using this share
// and so must not run side by side), and private folders for the user's data and the pipe. The
// environment is set for the test's lifetime.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/testing/test_folder.h"

namespace rigwright::testing {

// Polls `condition` until it holds; false when it still does not after 20 seconds.
template <typename Condition>
bool WaitFor(Condition condition) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// The pipe name in the last line a started wrapper recorded, without its quotes.
std::string PipeNameOf(const std::vector<std::string>& recorded);

class TestInstall {
 public:
  TestInstall();
  ~TestInstall();
  TestInstall(const TestInstall&) = delete;
  TestInstall& operator=(const TestInstall&) = delete;

  // Puts the recorder in place as the wrapper.
  void PlaceWrapper();

  // Started wrappers run until this is called.
  void ReleaseWrappers();

  // What every wrapper started so far recorded, oldest first, once there are `count` (or after
  // 20 seconds): its arguments, its path first; on Windows its one command line.
  std::vector<std::vector<std::string>> Starts(std::size_t count) const;

  // What a wrapper records in a metric ("0") or inch ("1") host.
  std::vector<std::string> Expected(const std::string& machineFolder, const std::string& unit,
                                    const std::string& pipeName) const;

  // Sets the environment variable `name` until the test ends.
  void SetEnvironment(const std::string& name, const std::string& value);

  TestFolder root;
  // Both in the system's spelling, ending in its separator.
  const std::string install;
  const std::string defaultFolder;
  const std::string wrapperPath;

 private:
  // Each system's part (test_install_posix.cpp, test_install_win32.cpp).
  static const char kWrapperFile[];  // the wrapper's file name as the installer names it
  void PointSettingsAtInstall();
  void RestoreSettings();
  static void ChangeEnvironment(const std::string& name, const char* value);  // null: remove

  std::vector<std::pair<std::string, std::optional<std::string>>> savedEnvironment_;
};

}  // namespace rigwright::testing
