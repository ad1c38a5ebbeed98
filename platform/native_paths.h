// How the system spells file names and paths that Rigwright composes from fixed pieces.
#pragma once

#include <string>
#include <string_view>

namespace rigwright {

// The file name of the program `name`: "<name>.exe" on Windows, `name` elsewhere.
std::string ProgramFileName(std::string_view name);

// `path` with every '/' made the system's own separator: '\' on Windows. Unchanged elsewhere,
// where '/' is the separator and a '\' may be part of a name. Fixed pieces such as
// "Generic Machines/" are written with '/' and joined through this.
std::string NativeSeparators(std::string_view path);

}  // namespace rigwright
