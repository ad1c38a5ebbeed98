// Whether someone is likely watching the program's error output.
#pragma once

namespace rigwright {

// True when the standard error stream goes to a terminal (a console on Windows).
bool StderrIsTerminal();

}  // namespace rigwright
