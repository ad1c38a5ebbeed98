#include "addin/testing/test_install.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "platform/native_paths.h"

namespace rigwright::testing {

std::string PipeNameOf(const std::vector<std::string>& recorded) {
  constexpr std::string_view kOption = "--pipeName=\"";
  if (recorded.empty()) return {};
  const std::string& last = recorded.back();
  const std::size_t start = last.rfind(kOption);
  if (start == std::string::npos || !last.ends_with('"')) return {};
  const std::size_t first = start + kOption.size();
  return first < last.size() ? last.substr(first, last.size() - 1 - first) : std::string();
}

TestInstall::TestInstall()
    : install(NativeSeparators(root.text() + "Orvane AS/Rigwright for Mastercam/")),
      defaultFolder(NativeSeparators(root.text() + "appdata/Kelmora/Rigwright/")),
      wrapperPath(install + kWrapperFile) {
  root.Write("Orvane AS/Rigwright for Mastercam/Generic Machines/Mill.mcfg", "{}");
  root.Write("Orvane AS/Rigwright for Mastercam/Generic Machines/Mill/config.json", "{}");
  PlaceWrapper();
  std::filesystem::create_directories(root.path() / "appdata" / "Kelmora");
  std::filesystem::create_directories(root.path() / "records");
  std::filesystem::create_directories(root.path() / "runtime");
  PointSettingsAtInstall();
  SetEnvironment("APPDATA", NativeSeparators(root.text() + "appdata"));
  SetEnvironment("XDG_RUNTIME_DIR", root.text() + "runtime");
  SetEnvironment("XDG_STATE_HOME", root.text() + "state");  // the support log, off the user's
  SetEnvironment("RIGWRIGHT_TEST_RECORD_DIR", root.text() + "records");
  SetEnvironment("RIGWRIGHT_TEST_HOLD", root.text() + "release");
}

TestInstall::~TestInstall() {
  ReleaseWrappers();
  RestoreSettings();
  for (auto it = savedEnvironment_.rbegin(); it != savedEnvironment_.rend(); ++it) {
    ChangeEnvironment(it->first, it->second ? it->second->c_str() : nullptr);
  }
}

void TestInstall::SetEnvironment(const std::string& name, const std::string& value) {
  const char* old = std::getenv(name.c_str());
  savedEnvironment_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
  ChangeEnvironment(name, value.c_str());
}

void TestInstall::PlaceWrapper() {
  std::filesystem::create_directories(PathFromUtf8(install));
  std::filesystem::copy_file(RIGWRIGHT_ARGUMENT_RECORDER, PathFromUtf8(wrapperPath));
}

void TestInstall::ReleaseWrappers() { root.Write("release", ""); }

std::vector<std::vector<std::string>> TestInstall::Starts(std::size_t count) const {
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
    std::ifstream in(file, std::ios::binary);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    starts.push_back(lines);
  }
  return starts;
}

}  // namespace rigwright::testing
