#include "standin/host/addin_loader.h"

namespace rigwright::standin {

std::unique_ptr<LoadedAddin> LoadedAddin::Load(const std::string& library, std::int32_t hostVersion,
                                               std::string* error) {
  std::unique_ptr<SharedLibrary> loaded = LoadSharedLibrary(library, Unloading::kOnClose, error);
  if (!loaded) return nullptr;
  using VersionEntry = std::int32_t (*)(std::int32_t);
  const auto versionEntry = reinterpret_cast<VersionEntry>(loaded->Symbol("m_version"));
  const auto main = reinterpret_cast<RunEntry>(loaded->Symbol("m_main"));
  if (!versionEntry || !main) {
    *error = library + " is not an add-in: it lacks " + (versionEntry ? "m_main" : "m_version");
    return nullptr;
  }
  const std::int32_t version = versionEntry(hostVersion);
  if (!IsSupportedAddinVersion(version)) {
    *error = library + " is for version " + std::to_string(version) +
             "; this host takes add-ins of versions 2400 to 2499";
    return nullptr;
  }
  return std::unique_ptr<LoadedAddin>(new LoadedAddin(std::move(loaded), version, main));
}

}  // namespace rigwright::standin
