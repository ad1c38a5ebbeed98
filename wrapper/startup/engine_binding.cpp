#include "wrapper/startup/engine_binding.h"

#include <cstdint>

#include "common/support_log.h"
#include "platform/engine_text.h"
#include "platform/shared_library.h"

namespace rigwright {
namespace {

// The user hears nothing of a missing engine; support reads each place tried and why it failed.
std::unique_ptr<SharedLibrary> LoadFirst(const std::vector<std::string>& candidates,
                                         std::string* loaded) {
  for (const std::string& candidate : candidates) {
    std::string error;
    if (auto library = LoadSharedLibrary(candidate, Unloading::kNever, &error)) {
      LogInfo("editor engine loaded: " + candidate);
      *loaded = candidate;
      return library;
    }
    LogWarning("editor engine candidate " + candidate + " cannot be loaded: " + error);
  }
  LogError("no editor engine could be loaded; the wrapper ends without running the editor");
  return nullptr;
}

template <typename Entry>
Entry Lookup(const SharedLibrary& library, const char* name) {
  return reinterpret_cast<Entry>(library.Symbol(name));
}

}  // namespace

EngineOutcome BindAndRunEngine(const std::vector<std::string>& candidates,
                               const EngineCallbacks& callbacks, const EngineRun& run) {
  std::string loaded;
  const std::unique_ptr<SharedLibrary> library = LoadFirst(candidates, &loaded);
  if (!library) return EngineOutcome::kNotFound;
  const auto runMavrilo = Lookup<RunMavriloEntry>(*library, "RunMavrilo");
  if (!runMavrilo) {
    LogError("the editor engine " + loaded + " has no RunMavrilo; the editor does not run");
    return EngineOutcome::kNoRunEntry;
  }
  const auto setCreateStl = Lookup<SetCreateSTLFuncEntry>(*library, "SetCreateSTLFunc");
  const auto setExport = Lookup<SetExportFuncEntry>(*library, "SetExportFunc");
  if (!setCreateStl) LogWarning("the editor engine has no SetCreateSTLFunc: no STL requests");
  if (!setExport) LogWarning("the editor engine has no SetExportFunc: no exports");
  if (setCreateStl && callbacks.createStl) setCreateStl(callbacks.createStl);
  if (setExport && callbacks.exportMachine) setExport(callbacks.exportMachine);
  // The engine opens the folder with the system's 8-bit file functions.
  const EngineText folder = EngineTextOfPath(run.machineFolder, SystemEngineTextForms());
  if (!folder.exact) {
    LogWarning("the machine library folder " + run.machineFolder +
               " has no form the editor engine can open for certain; it is given as " +
               folder.text);
  }
  runMavrilo(folder.text.c_str(), static_cast<std::int32_t>(folder.text.size()), "", 0,
             run.defaultUnit, run.language.c_str(), static_cast<std::int32_t>(run.language.size()),
             std::int64_t{0});
  LogInfo("the editor has been closed");
  return EngineOutcome::kRan;
}

}  // namespace rigwright
