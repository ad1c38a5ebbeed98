// rigwright: export machines to Kelmora's signed files, and look inside those files.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "common/support_log.h"
#include "platform/command_line.h"
#include "tools/cli.h"
#include "tools/cli_cancel.h"

namespace {

constexpr const char* kUsage =
    "usage: rigwright <command> [arguments]\n\n"
    "Commands:\n"
    "  bundle   write a machine as one .OrvaneSimBundle for Kelmora's machine installer\n"
    "  install  install a machine into Kelmora's machine folder (or another folder)\n"
    "  list     list the records of a package, and of the two packages in a bundle\n"
    "  verify   check a package's signature and layout, and the two packages in a bundle\n"
    "  extract  write the records of a package into a folder\n\n"
    "Run rigwright <command> --help for each command's arguments. Every command also takes\n"
    "  -q, --quiet     no warnings and no progress line, only errors\n"
    "  --log[=FILE]    write what it does to the support log (or to FILE)\n"
    "  --version       print the version\n"
    "  --              end of options: what follows are file names, even if they begin with -\n\n"
    "Exit status: 0 done, 1 failed, 2 wrong arguments; stopped by Ctrl-C, SIGTERM or SIGHUP\n"
    "after putting everything back, as that signal (130, 143, 129 in a shell).\n";

int RunCommand(const std::string& command, const std::vector<std::string>& args) {
  using namespace rigwright::cli;
  try {
    if (command == "bundle") return RunBundle(args);
    if (command == "install") return RunInstall(args);
    if (command == "list") return RunList(args);
    if (command == "verify") return RunVerify(args);
    if (command == "extract") return RunExtract(args);
  } catch (const std::exception& e) {
    return Error(command, std::string("unexpected error: ") + e.what());
  }
  std::cerr << (command.empty() ? "rigwright: no command given\n"
                                : "rigwright: unknown command \"" + command + "\"\n")
            << kUsage;
  return kUsageError;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace rigwright::cli;
  const std::vector<std::string> arguments = rigwright::Utf8Arguments(argc, argv);
  const std::string command = arguments.size() > 1 ? arguments[1] : "";
  const std::vector<std::string> args(
      arguments.begin() + std::min<std::size_t>(arguments.size(), 2), arguments.end());
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << kUsage;
    return kSuccess;
  }
  if (command == "--version") {
    PrintVersion();
    return kSuccess;
  }
  const int status = RunCommand(command, args);
  rigwright::CloseSupportLog();
  if (const int signal = CancelSignal(); signal != 0) {
    // The command has put everything back; what it said must reach its reader before we go.
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    EndAsCancelled(signal);
  }
  return status;
}
