// How the development host loads an add-in, as the CAD host does: load the library, ask its
// version, refuse it when the version is not one this host supports, and call its run entry.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/shared_library.h"

namespace rigwright::standin {

// The add-in versions a host of the 2400 series takes.
inline bool IsSupportedAddinVersion(std::int32_t version) {
  return version >= 2400 && version <= 2499;
}

class LoadedAddin {
 public:
  // Loads `library`, calls its m_version with `hostVersion` and keeps it when the answer is a
  // supported version and the library has an m_main. Null, with `error` saying why, otherwise;
  // a refused add-in is unloaded again.
  static std::unique_ptr<LoadedAddin> Load(const std::string& library, std::int32_t hostVersion,
                                           std::string* error);

  // Unloads the add-in; its own clean-up runs now.
  ~LoadedAddin() = default;

  std::int32_t version() const { return version_; }
  // The add-in's run entry, behind the host's command.
  std::int32_t RunCommand() const { return main_(); }

 private:
  using RunEntry = std::int32_t (*)();

  LoadedAddin(std::unique_ptr<SharedLibrary> library, std::int32_t version, RunEntry main)
      : library_(std::move(library)), version_(version), main_(main) {}

  std::unique_ptr<SharedLibrary> library_;
  std::int32_t version_;
  RunEntry main_;
};

}  // namespace rigwright::standin
