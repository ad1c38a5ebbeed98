// `rigwright bundle` and `rigwright install`: the export writers from the command line.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <iterator>

#include "common/path_text.h"
#include "platform/terminal.h"
#include "platform/user_folders.h"
#include "tools/cli.h"
#include "tools/cli_cancel.h"
#include "wrapper/export/bundle_file.h"
#include "wrapper/export/machine_export.h"
#include "wrapper/machine/file_bytes.h"

namespace rigwright::cli {
namespace {

constexpr const char* kDefaultOrientation = "Don't change";
// What the machine document's header takes, the default last; anything else would silently mean
// the default.
constexpr std::string_view kOrientations[] = {"Vertical", "Horizontal", "Lathe",
                                              kDefaultOrientation};

// "\"Vertical\", \"Horizontal\", \"Lathe\" or \"Don't change\""
std::string OrientationChoices() {
  std::string text;
  for (const std::string_view orientation : kOrientations) {
    if (!text.empty())
      text += orientation == kOrientations[std::size(kOrientations) - 1] ? " or " : ", ";
    text += "\"" + std::string(orientation) + "\"";
  }
  return text;
}

std::string OrientationHelp() {
  return "--orientation is " + OrientationChoices() + " (the default).\n";
}

ExportReport NewReport(const Arguments& parsed) {
  ExportReport report;
  report.strict = parsed.Has("--strict");
  report.cancelRequested = [] { return CancelRequested(); };
  // Someone at a terminal should know why nothing happens; a script's log needs no such line.
  if (StderrIsTerminal()) {
    report.waitingForFolder = [](const std::string& folder) {
      std::cerr << "rigwright: waiting for another export into " << folder << " to end...\n";
    };
  }
  return report;
}

// Shows what the writer left out, the same lines the export dialog shows, then its failure if any.
int Finish(bool ok, const std::string& machine, const ExportReport& report) {
  for (const LeftOutFile& file : report.leftOut) Warning(machine + ": " + LeftOutLine(file));
  if (report.cancelled) return Error(machine, report.error);
  if (!ok) return Error("", report.error.empty() ? machine + ": the export failed" : report.error);
  return kSuccess;
}

constexpr const char* kStrictHelp =
    "--strict makes a model or post file that would be left out a failure, before anything is\n"
    "written. Ctrl-C (or SIGTERM, SIGHUP) stops the export and leaves every earlier file as\n"
    "it was.\n";

// The checks the export dialog makes before it starts a writer.
bool CheckInputs(const std::string& machine, const std::string& post) {
  std::string why;
  if (!FileCanBeOpened(PathFromUtf8(machine), &why)) {
    Error(machine, "the machine file cannot be opened: " + why);
    return false;
  }
  if (!post.empty() && !FileCanBeOpened(PathFromUtf8(post), &why)) {
    Error(post, "the external post file cannot be opened: " + why);
    return false;
  }
  return true;
}

// Kelmora's machine folder when no target is given. Like the export dialog, which then offers no
// install at all, it must exist: a folder made for a Kelmora that is not installed for this user
// would hold machines nobody sees. Empty (with the error told) when it does not.
std::string DefaultInstallTarget() {
  const std::string folder = SimulatorMachineFolderPath();
  if (folder.empty()) {
    Error("install", "no target folder given and no home folder known");
    return {};
  }
  std::error_code error;
  if (!std::filesystem::is_directory(PathFromUtf8(folder), error)) {
    Error("install", "Kelmora's machine folder " + folder +
                         " is missing (is Kelmora installed for this user?); give a target "
                         "folder to install into another folder");
    return {};
  }
  return folder;
}

bool Parse(const std::string& command, const std::vector<std::string>& args, Arguments& parsed,
           int& status) {
  std::string error;
  if (!ParseArguments(args, {"--post", "--orientation"}, {"--strict"}, parsed, error)) {
    status = UsageError(command, error);
    return false;
  }
  const std::string orientation = parsed.Option("--orientation", kDefaultOrientation);
  if (std::find(std::begin(kOrientations), std::end(kOrientations), orientation) ==
      std::end(kOrientations)) {
    status = UsageError(
        command, "unknown --orientation \"" + orientation + "\": use " + OrientationChoices());
    return false;
  }
  for (const std::string& positional : parsed.positional) {
    if (positional.empty()) {
      status = UsageError(command, "an empty argument names no file or folder");
      return false;
    }
  }
  return true;
}

}  // namespace

int RunBundle(const std::vector<std::string>& args) {
  Arguments parsed;
  int status = kSuccess;
  if (!Parse("bundle", args, parsed, status)) return status;
  if (parsed.Has("--help")) {
    std::cout << "usage: rigwright bundle <machine.mcfg> <output> [--post <file>] "
                 "[--orientation <text>] [--strict]\n\n"
                 "Writes the machine, with an optional external post file, as one signed bundle\n"
                 "that Kelmora's machine installer takes on any computer, creating missing\n"
                 "folders. The bundle is <output> when that ends in \".OrvaneSimBundle\" (in\n"
                 "exactly this letter case). Any other <output> is replaced by\n"
                 "<folder of output>/<machine>.OrvaneSimBundle, where <folder of output> is\n"
                 "<output> up to its last '/' (the current folder when it has none). For\n"
                 "Mill.mcfg, both out/anything.zip and out/sub give out/Mill.OrvaneSimBundle;\n"
                 "out/sub/ gives out/sub/Mill.OrvaneSimBundle.\n"
              << OrientationHelp() << kStrictHelp;
    return kSuccess;
  }
  if (parsed.positional.size() != 2) return UsageError("bundle", "needs <machine.mcfg> <output>");
  const std::string& machine = parsed.positional[0];
  const std::string post = parsed.Option("--post");
  if (!CheckInputs(machine, post)) return kFailure;
  ExportReport report = NewReport(parsed);
  CancelOnSignals cancel;
  const bool ok = ExportMachineBundle(machine, parsed.positional[1],
                                      parsed.Option("--orientation", kDefaultOrientation), post,
                                      &report);
  if (ok) {
    std::cout << "Wrote " << BundleTargetPath(parsed.positional[1], StemOf(machine)) << "\n";
  }
  return Finish(ok, machine, report);
}

int RunInstall(const std::vector<std::string>& args) {
  Arguments parsed;
  int status = kSuccess;
  if (!Parse("install", args, parsed, status)) return status;
  if (parsed.Has("--help")) {
    std::cout << "usage: rigwright install <machine.mcfg> [<target-folder>] [--post <file>] "
                 "[--orientation <text>] [--strict]\n\n"
                 "Installs the machine for Kelmora on this computer: writes <machine>.OrvaneSim\n"
                 "and <machine>.OrvaneSimCfg, and a copy of the external post file, into\n"
                 "<target-folder>/<machine>/. The default target is Kelmora's machine folder,\n"
              << SimulatorMachineFolderPath() << "\n"
              << "which must exist already.\n"
              << OrientationHelp() << kStrictHelp;
    return kSuccess;
  }
  if (parsed.positional.empty() || parsed.positional.size() > 2) {
    return UsageError("install", "needs <machine.mcfg> [<target-folder>]");
  }
  const std::string& machine = parsed.positional[0];
  const std::string target =
      parsed.positional.size() == 2 ? parsed.positional[1] : DefaultInstallTarget();
  if (target.empty()) return kFailure;
  const std::string post = parsed.Option("--post");
  if (!CheckInputs(machine, post)) return kFailure;
  ExportReport report = NewReport(parsed);
  CancelOnSignals cancel;
  const bool ok = InstallMachine(machine, target,
                                 parsed.Option("--orientation", kDefaultOrientation), post, &report);
  if (ok) {
    std::cout << "Installed " << StemOf(machine) << " into " << WithTrailingSeparator(target)
              << StemOf(machine) << "/\n";
  }
  return Finish(ok, machine, report);
}

}  // namespace rigwright::cli
