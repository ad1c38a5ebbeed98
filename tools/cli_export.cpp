// `rigwright bundle` and `rigwright install`: the export writers from the command line.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <iterator>

#include "common/path_text.h"
#include "common/support_log.h"
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

// One line on stderr, rewritten in place while an export runs ("rigwright: packing
// Mill.OrvaneSim 42%"), for someone watching a terminal; written only when it changes.
class ProgressLine {
 public:
  void Show(const ExportProgress& progress) {
    static constexpr const char* kStages[] = {"reading", "packing", "writing"};
    std::string text = std::string("rigwright: ") + kStages[static_cast<int>(progress.stage)] +
                       " " + Tail(progress.item);
    if (progress.total > 0)
      text += " " + std::to_string(progress.done * 100 / progress.total) + "%";
    if (text == shown_) return;
    // Spaces cover what a longer line before left on the screen.
    std::cerr << '\r' << text
              << std::string(shown_.size() > text.size() ? shown_.size() - text.size() : 0, ' ')
              << std::flush;
    shown_ = std::move(text);
  }
  // Leaves the cursor at the start of an empty line, for whatever is printed next.
  void Clear() {
    if (shown_.empty()) return;
    std::cerr << '\r' << std::string(shown_.size(), ' ') << '\r' << std::flush;
    shown_.clear();
  }

 private:
  // The end of a long path, cut between UTF-8 characters: a line must not wrap, or the next one
  // would not overwrite it.
  static std::string Tail(const std::string& item) {
    constexpr std::size_t kMaxBytes = 48;
    if (item.size() <= kMaxBytes) return item;
    std::size_t from = item.size() - kMaxBytes;
    while (from < item.size() && (static_cast<unsigned char>(item[from]) & 0xC0) == 0x80) ++from;
    return "..." + item.substr(from);
  }

  std::string shown_;
};

// What one export needs around its writer: the report with its hooks, the progress line, and
// afterwards the lines for the user and for the support log.
class ExportRun {
 public:
  ExportRun(std::string command, const Arguments& parsed)
      : command_(std::move(command)), started_(std::chrono::steady_clock::now()) {
    report_.strict = parsed.Has("--strict");
    report_.cancelRequested = [] { return CancelRequested(); };
    // Someone at a terminal should know what happens and why nothing does; a script's log needs
    // no such lines.
    if (StderrIsTerminal() && !Quiet()) {
      report_.progress = [this](const ExportProgress& progress) { line_.Show(progress); };
      report_.waitingForFolder = [this](const std::string& folder) {
        line_.Clear();
        std::cerr << "rigwright: waiting for another export into " << folder << " to end...\n";
      };
    }
  }

  ExportRun(const ExportRun&) = delete;  // the report's hooks point at this one
  ExportRun& operator=(const ExportRun&) = delete;

  ExportReport* report() { return &report_; }

  // Tells what the writer did: the files left out (the same lines the export dialog shows), then
  // its failure if any; and the same to the support log, with the files written and the time.
  int Finish(bool ok, const std::string& machine, const std::string& target) {
    line_.Clear();
    for (const LeftOutFile& file : report_.leftOut) Warning(machine + ": " + LeftOutLine(file));
    LogExportOutcome(command_ + " of " + machine + " to " + target, ok, report_,
                     std::chrono::steady_clock::now() - started_);
    if (report_.cancelled) return Error(machine, report_.error);
    if (!ok) return Error("", report_.error.empty() ? machine + ": the export failed" : report_.error);
    return kSuccess;
  }

 private:
  std::string command_;
  std::chrono::steady_clock::time_point started_;
  ExportReport report_;
  ProgressLine line_;
};

// "Wrote <bundle>", saying why the bundle is not where the user pointed when the name given was
// not a bundle's, and that an earlier bundle there was replaced.
std::string WroteLine(const std::string& output, const std::string& target, bool replaced) {
  std::string line = "Wrote " + target;
  std::vector<std::string> notes;
  if (output != target) {
    notes.push_back("named after the machine: \"" + output +
                    "\" does not end in \".OrvaneSimBundle\"");
  }
  if (replaced) notes.push_back("replaced the earlier bundle");
  for (std::size_t i = 0; i < notes.size(); ++i) line += (i == 0 ? " (" : "; ") + notes[i];
  return notes.empty() ? line : line + ")";
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
  if (!ParseArguments(command, args, {"--post", "--orientation"}, {"--strict"}, parsed, status)) {
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
    std::cout
        << "usage: rigwright bundle <machine.mcfg> <output> [--post <file>] "
           "[--orientation <text>] [--strict]\n\n"
           "Writes the machine, with an optional external post file, as one signed bundle\n"
           "that Kelmora's machine installer takes on any computer, creating missing\n"
           "folders. The bundle is <output> when that ends in \".OrvaneSimBundle\" (in\n"
           "exactly this letter case). Any other <output> is replaced by\n"
           "<folder of output>/<machine>.OrvaneSimBundle, where <folder of output> is\n"
           "<output> up to its last '/' (the current folder when it has none). For\n"
           "Mill.mcfg, both out/anything.zip and out/sub give out/Mill.OrvaneSimBundle;\n"
           "out/sub/ gives out/sub/Mill.OrvaneSimBundle. An existing bundle there is\n"
           "replaced. The line \"Wrote <bundle>\" names the file written, says when it is\n"
           "named after the machine instead of <output>, and says \"replaced\" when a bundle\n"
           "was there before.\n"
        << OrientationHelp() << kStrictHelp;
    return kSuccess;
  }
  if (parsed.positional.size() != 2) return UsageError("bundle", "needs <machine.mcfg> <output>");
  const std::string& machine = parsed.positional[0];
  const std::string& output = parsed.positional[1];
  const std::string post = parsed.Option("--post");
  if (!CheckInputs(machine, post)) return kFailure;
  const std::string target = BundleTargetPath(output, StemOf(machine));
  std::error_code ignored;
  const bool replacing = std::filesystem::exists(PathFromUtf8(target), ignored);
  ExportRun run("bundle", parsed);
  CancelOnSignals cancel;
  const bool ok = ExportMachineBundle(
      machine, output, parsed.Option("--orientation", kDefaultOrientation), post, run.report());
  status = run.Finish(ok, machine, target);
  if (status == kSuccess) std::cout << WroteLine(output, target, replacing) << "\n";
  return status;
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
  ExportRun run("install", parsed);
  CancelOnSignals cancel;
  const bool ok = InstallMachine(
      machine, target, parsed.Option("--orientation", kDefaultOrientation), post, run.report());
  const std::string stem(StemOf(machine));
  const std::string folder = WithTrailingSeparator(target) + stem + "/";
  status = run.Finish(ok, machine, folder);
  if (status == kSuccess) std::cout << "Installed " << stem << " into " << folder << "\n";
  return status;
}

}  // namespace rigwright::cli
