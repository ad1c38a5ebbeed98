// Test support for the launch of the wrapper: a test install folder, with spaces in its path,
// whose "wrapper" is the argument recorder (testing/argument_recorder.cpp), a settings file that
// points at it, and private folders for the user's data and the pipe. The environment is set for
// the test's lifetime.
#pragma once

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "common/testing/scoped_environment.h"
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

class TestInstall {
 public:
  TestInstall() {
    root.Write("config/Orvane/Orvane Rigwright for Mastercam.conf", "Directory=" + install + "\n");
    root.Write("Orvane AS/Rigwright for Mastercam/Generic Machines/Mill.mcfg", "{}");
    root.Write("Orvane AS/Rigwright for Mastercam/Generic Machines/Mill/config.json", "{}");
    PlaceWrapper();
    std::filesystem::create_directories(root.path() / "appdata" / "Kelmora");
    std::filesystem::create_directories(root.path() / "records");
    std::filesystem::create_directories(root.path() / "runtime");
    environment.Set("XDG_CONFIG_DIRS", root.text() + "config");
    environment.Set("APPDATA", root.text() + "appdata");
    environment.Set("XDG_RUNTIME_DIR", root.text() + "runtime");
    environment.Set("RIGWRIGHT_TEST_RECORD_DIR", root.text() + "records");
    environment.Set("RIGWRIGHT_TEST_HOLD", root.text() + "release");
  }
  ~TestInstall() { ReleaseWrappers(); }

  // Puts the recorder in place as the wrapper.
  void PlaceWrapper() {
    const std::filesystem::path wrapper = install + "RigwrightWrapper";
    std::filesystem::create_directories(wrapper.parent_path());
    std::filesystem::copy_file(RIGWRIGHT_ARGUMENT_RECORDER, wrapper);
    ::chmod(wrapper.c_str(), 0755);
  }

  // Started wrappers run until this is called.
  void ReleaseWrappers() { root.Write("release", ""); }

  // The arguments of every wrapper started so far, oldest first, once there are `count` (or
  // after 20 seconds).
  std::vector<std::vector<std::string>> Starts(std::size_t count) const {
    std::vector<std::filesystem::path> files;
    WaitFor([&] {
      files.clear();
      for (const auto& entry : std::filesystem::directory_iterator(root.path() / "records")) {
        if (entry.path().extension() == ".args") files.push_back(entry.path());
      }
      return files.size() >= count;
    });
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
      return std::filesystem::last_write_time(a) < std::filesystem::last_write_time(b);
    });
    std::vector<std::vector<std::string>> starts;
    for (const auto& file : files) {
      std::vector<std::string> lines;
      std::ifstream in(file);
      for (std::string line; std::getline(in, line);) lines.push_back(line);
      starts.push_back(lines);
    }
    return starts;
  }

  // The arguments a wrapper gets in a metric ("0") or inch ("1") host.
  std::vector<std::string> Expected(const std::string& machineFolder, const std::string& unit,
                                    const std::string& pipeName) const {
    return {install + "RigwrightWrapper", "--language=\"en-US\"",
            "--machineDirectory=\"" + machineFolder + "\"", "--defaultUnit=" + unit,
            "--pipeName=\"" + pipeName + "\""};
  }

  TestFolder root;
  const std::string install = root.text() + "Orvane AS/Rigwright for Mastercam/";
  const std::string defaultFolder = root.text() + "appdata/Kelmora/Rigwright/";
  ScopedEnvironment environment;
};

}  // namespace rigwright::testing
