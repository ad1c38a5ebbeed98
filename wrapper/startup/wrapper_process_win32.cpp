#include <windows.h>

#include "platform/text_win32.h"
#include "wrapper/startup/wrapper_options.h"
#include "wrapper/startup/wrapper_process.h"

namespace rigwright {

std::string WrapperCommandLine(int, char**) {
  // The whole line as the add-in passed it to CreateProcessW; argv would have been split and
  // unescaped by the C runtime's rules, which eat a '\' before a closing quote.
  return std::string(CommandLineAfterProgramName(Utf8FromUtf16(::GetCommandLineW())));
}

void TellToolkitFailed() {
  ::MessageBoxW(nullptr, L"Failed to initialize MFC!", L"RigwrightWrapper", MB_OK);
}

}  // namespace rigwright
