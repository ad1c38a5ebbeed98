#include <cstdio>

#include "wrapper/startup/wrapper_options.h"
#include "wrapper/startup/wrapper_process.h"

namespace rigwright {

std::string WrapperCommandLine(int argc, char** argv) { return JoinCommandLine(argc, argv); }

void TellToolkitFailed() {
  // Without a display no message box can be shown; the terminal or the log is all there is.
  std::fputs("Failed to initialize MFC!\n", stderr);
}

}  // namespace rigwright
