#include <cstdlib>

#include "tools/cli_cancel.h"

namespace rigwright::cli {

// 130 whichever of Ctrl-C and Ctrl-Break it was: scripts test for the one number. Through the C
// library's exit, so that its exit handlers run (the console gets its code page back).
void EndAsCancelled(int) { std::exit(130); }

}  // namespace rigwright::cli
