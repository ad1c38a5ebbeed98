// The command line of a console program as UTF-8 text, whatever the system's code page.
#pragma once

#include <string>
#include <vector>

namespace rigwright {

// The program's arguments, its own name first, as UTF-8 text. On Windows `argv` is in the
// system's code page, which cannot carry every file name, so they are taken from the UTF-16
// command line instead; the console is also told that the program writes UTF-8,
// until the program ends.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

}  // namespace rigwright
