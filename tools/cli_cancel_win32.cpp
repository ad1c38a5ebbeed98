#include <windows.h>

#include "tools/cli_cancel.h"

namespace rigwright::cli {

// 130 whichever of Ctrl-C and Ctrl-Break it was: scripts test for the one number.
void EndAsCancelled(int) { ::ExitProcess(130); }

}  // namespace rigwright::cli
