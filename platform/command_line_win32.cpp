#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "platform/command_line.h"
#include "platform/text_win32.h"

namespace rigwright {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  ::SetConsoleOutputCP(CP_UTF8);
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!wide) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(Utf8FromUtf16(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

}  // namespace rigwright
