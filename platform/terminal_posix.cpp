#include <unistd.h>

#include "platform/terminal.h"

namespace rigwright {

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

}  // namespace rigwright
