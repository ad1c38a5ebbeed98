// One run of RigwrightWrapper once the toolkit is up: options, working folder and its message,
// the editor, clean-up.
#pragma once

#include <string_view>

#include "wrapper/startup/engine_binding.h"

namespace rigwright {

// Runs the wrapper for `commandLine` (the text after the program name) with the callbacks it
// hands to the engine. Returns the process exit code: 0, also when no engine could be found.
// Problems the user cannot act on in a dialog (no working folder, one left behind) go to stderr.
int RunWrapper(std::string_view commandLine, const EngineCallbacks& callbacks);

}  // namespace rigwright
