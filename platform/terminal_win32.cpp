#include <io.h>

#include <cstdio>

#include "platform/terminal.h"

namespace rigwright {

bool StderrIsTerminal() { return ::_isatty(::_fileno(stderr)) != 0; }

}  // namespace rigwright
