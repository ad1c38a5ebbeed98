#include "platform/child_process.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <system_error>

extern char** environ;

namespace rigwright {
namespace {

class PosixChildProcess final : public ChildProcess {
 public:
  explicit PosixChildProcess(pid_t pid) : pid_(pid) {}

  // A child that already ended is reaped here so it does not linger as a zombie.
  ~PosixChildProcess() override { IsRunning(); }

  std::int64_t id() const override { return pid_; }

  bool IsRunning() override {
    if (exitCode_) return false;
    int status = 0;
    pid_t result;
    do {
      result = ::waitpid(pid_, &status, WNOHANG);
    } while (result < 0 && errno == EINTR);
    if (result == 0) return true;
    Record(result == pid_ ? status : -1);
    return false;
  }

  int WaitForExit() override {
    if (exitCode_) return *exitCode_;
    int status = 0;
    pid_t result;
    do {
      result = ::waitpid(pid_, &status, 0);
    } while (result < 0 && errno == EINTR);
    Record(result == pid_ ? status : -1);
    return *exitCode_;
  }

 private:
  void Record(int status) {
    exitCode_ = status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  pid_t pid_;
  std::optional<int> exitCode_;  // set once the child has been reaped
};

}  // namespace

std::unique_ptr<ChildProcess> StartProcess(const std::string& program,
                                           const std::vector<std::string>& arguments,
                                           std::string* error) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int result = ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
  if (result != 0) {
    *error = "cannot start " + program + ": " + std::generic_category().message(result);
    return nullptr;
  }
  return std::make_unique<PosixChildProcess>(pid);
}

}  // namespace rigwright
