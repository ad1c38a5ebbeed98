// Windows: the program gets one command line, the program's path followed by each argument after
// a space, every piece as it is: no quoting and no escaping. The wrapper reads its options from
// that line as text (a quoted value is what lies between the first and second double quote after
// the option's name), and the add-in passes the quotes it wants as part of the arguments.
#include <windows.h>

#include <optional>

#include "platform/child_process.h"
#include "platform/text_win32.h"
#include "platform/unique_handle_win32.h"

namespace rigwright {
namespace {

class Win32ChildProcess final : public ChildProcess {
 public:
  Win32ChildProcess(UniqueHandle process, DWORD id) : process_(std::move(process)), id_(id) {}

  std::int64_t id() const override { return id_; }

  // The process's handle is signalled when it has ended. Its exit code alone cannot tell:
  // a program may end with code 259, the code that also means "still running".
  bool IsRunning() override {
    if (exitCode_) return false;
    if (::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) return true;
    Record();
    return false;
  }

  int WaitForExit() override {
    if (!exitCode_) {
      ::WaitForSingleObject(process_.get(), INFINITE);
      Record();
    }
    return *exitCode_;
  }

 private:
  void Record() {
    DWORD code = 0;
    exitCode_ = ::GetExitCodeProcess(process_.get(), &code) ? static_cast<int>(code) : -1;
  }

  UniqueHandle process_;
  DWORD id_;
  std::optional<int> exitCode_;  // set once the process has ended
};

}  // namespace

std::unique_ptr<ChildProcess> StartProcess(const std::string& program,
                                           const std::vector<std::string>& arguments,
                                           std::string* error) {
  std::string line = program;
  for (const std::string& argument : arguments) line += " " + argument;
  const std::wstring application = Utf16FromUtf8(program);
  std::wstring commandLine = Utf16FromUtf8(line);  // the system may write into it
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &started)) {
    *error = "cannot start " + program + ": " + Win32ErrorText(::GetLastError());
    return nullptr;
  }
  ::CloseHandle(started.hThread);
  return std::make_unique<Win32ChildProcess>(UniqueHandle(started.hProcess), started.dwProcessId);
}

}  // namespace rigwright
