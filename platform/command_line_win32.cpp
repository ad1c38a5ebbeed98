#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "platform/command_line.h"
#include "platform/text_win32.h"

#include <cstdlib>

namespace rigwright {
namespace {

UINT consoleCodePage = 0;  // the console's output code page before this program changed it

// The console belongs to whoever opened it: the programs run after this one there expect the
// code page they had.
void RestoreConsoleCodePage() { ::SetConsoleOutputCP(consoleCodePage); }

}  // namespace

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  // Zero when there is no console: nothing to change or put back.
  consoleCodePage = ::GetConsoleOutputCP();
  if (consoleCodePage != 0 && consoleCodePage != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8)) {
    std::atexit(&RestoreConsoleCodePage);
  }
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!wide) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(Utf8FromUtf16(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

}  // namespace rigwright
