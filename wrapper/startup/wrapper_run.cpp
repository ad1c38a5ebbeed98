#include "wrapper/startup/wrapper_run.h"

#include <cstdio>

#include "common/machine_folder.h"
#include "common/support_log.h"
#include "platform/install_settings.h"
#include "platform/native_paths.h"
#include "platform/temporary_folder.h"
#include "platform/user_folders.h"
#include "wrapper/startup/stl_request.h"
#include "wrapper/startup/working_folder.h"
#include "wrapper/startup/wrapper_options.h"

namespace rigwright {
namespace {

// On Windows the wrapper has no console and stderr goes nowhere: the support log is where a
// start-up problem can be found.
void Report(const std::string& problem) {
  LogError(problem);
  std::fprintf(stderr, "RigwrightWrapper: %s\n", problem.c_str());
}

}  // namespace

int RunWrapper(std::string_view commandLine, const EngineCallbacks& callbacks) {
  WrapperOptions defaults;
  defaults.machineFolder = NativeSeparators(FindMachineFolder(AppDataFolder()));
  const WrapperOptions options = ParseWrapperOptions(commandLine, std::move(defaults));
  SetWrapperPipeName(options.pipeName);
  LogInfo("options: language \"" + options.language + "\", machine folder " +
          options.machineFolder + ", default unit " + std::to_string(options.defaultUnit) +
          ", pipe " + options.pipeName);

  const WorkingFolder workingFolder = ClaimWorkingFolder(TemporaryFolder());
  if (workingFolder.path.empty()) {
    Report(workingFolder.error + "; the editor runs without one");
  } else {
    LogInfo("working folder " + workingFolder.path);
    AnnounceWorkingFolder(options.pipeName, workingFolder.path);
  }

  BindAndRunEngine(PrepareEngineSearch(InstallFolder()), callbacks,
                   {options.machineFolder, options.defaultUnit, options.language});

  if (!workingFolder.path.empty()) {
    if (const std::string error = RemoveWorkingFolder(workingFolder.path); !error.empty()) {
      Report(error);
    }
  }
  return 0;
}

}  // namespace rigwright
