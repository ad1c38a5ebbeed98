// What the wrapper program takes from the system it runs on: its command line, and the way it
// tells the user that it cannot start at all.
#pragma once

#include <string>

namespace rigwright {

// The command-line text after the program name, in UTF-8, to be read with ParseWrapperOptions.
// On Windows it is taken from the process's own UTF-16 command line (GetCommandLineW), so that
// paths outside the system's code page and a quoted folder ending in '\' arrive as written.
// Elsewhere it is the arguments after argv[0] joined with blanks. Call it before the toolkit
// takes its own options out of `argv`.
std::string WrapperCommandLine(int argc, char** argv);

// Says "Failed to initialize MFC!": in a plain message box on Windows; elsewhere the toolkit
// fails only without a display, so the text goes to stderr.
void TellToolkitFailed();

}  // namespace rigwright
