#include <windows.h>

#include "addin/testing/argument_recorder.h"
#include "platform/text_win32.h"

namespace rigwright::testing {

long ProcessId() { return static_cast<long>(::GetCurrentProcessId()); }

std::vector<std::string> HowStarted(int, char**) { return {Utf8FromUtf16(::GetCommandLineW())}; }

}  // namespace rigwright::testing
