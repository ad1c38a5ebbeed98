// The toolkit under the development engine's windows.
#pragma once

#include <string>

namespace rigwright::editor {

// Makes sure the toolkit runs for the editor's windows. On Linux the toolkit is one shared
// library that the program loading the engine has started, and the engine uses it. On Windows
// the engine DLL carries its own copy (linked statically, like any engine with a user interface
// of its own), which it starts the first time and keeps until the process ends. False, with
// `error` set, when there is no toolkit to use.
bool EnsureEngineToolkit(std::string* error);

}  // namespace rigwright::editor
