// Finding, loading and running the editor engine.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "wrapper/startup/editor_engine_api.h"

namespace rigwright {

// Prepares the system's library search for the engine and returns where the engine library is
// looked for, in order. On Windows `installFolder` becomes the process's DLL search folder
// (SetDllDirectoryW) and "MavriloDll.dll" is loaded by its name, then from the default install
// folder. Elsewhere libMavriloDll.so is loaded from `installFolder`, then by its name through the
// system's search, then from the default install folder.
std::vector<std::string> PrepareEngineSearch(std::string_view installFolder);

// The callbacks handed to the engine; a null one is not registered.
struct EngineCallbacks {
  MavriloCreateStlFunc createStl = nullptr;
  MavriloExportFunc exportMachine = nullptr;
};

// What the editor is run with.
struct EngineRun {
  std::string machineFolder;
  int defaultUnit = 0;
  std::string language;
};

enum class EngineOutcome {
  kRan,         // the editor ran and has been closed
  kNotFound,    // no candidate could be loaded
  kNoRunEntry,  // the library lacks RunMavrilo
};

// Loads the first candidate that loads, registers the callbacks the engine has setters for, and
// runs the editor until the user closes it. The library stays loaded until the process ends,
// since the engine may leave threads or handlers behind.
EngineOutcome BindAndRunEngine(const std::vector<std::string>& candidates,
                               const EngineCallbacks& callbacks, const EngineRun& run);

}  // namespace rigwright
