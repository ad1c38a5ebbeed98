#include "common/path_text.h"
#include "platform/install_settings.h"
#include "wrapper/startup/engine_binding.h"

namespace rigwright {
namespace {

constexpr std::string_view kEngineLibraryName = "libMavriloDll.so";

}  // namespace

std::vector<std::string> PrepareEngineSearch(std::string_view installFolder) {
  const std::string name(kEngineLibraryName);
  std::vector<std::string> candidates;
  if (!installFolder.empty()) candidates.push_back(WithTrailingSeparator(installFolder) + name);
  candidates.push_back(name);
  candidates.push_back(std::string(kDefaultInstallFolder) + name);
  return candidates;
}

}  // namespace rigwright
