#include "addin/editor_launch.h"

#include <filesystem>
#include <system_error>

#include "common/machine_folder.h"
#include "common/machine_library_seed.h"
#include "common/path_text.h"
#include "common/support_log.h"
#include "platform/install_settings.h"
#include "platform/native_paths.h"
#include "platform/process_window.h"
#include "platform/shared_library.h"
#include "platform/user_folders.h"

namespace rigwright {
namespace {

constexpr std::int32_t kFirstVersion = 2400;
constexpr std::uint32_t kVersionCount = 100;
constexpr char kKelmoraFolderPart[] = "/Kelmora";
constexpr char kDefaultMachineFolderPart[] = "/Kelmora/Rigwright/";

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Why the default machine library is missing after the attempt to create it: Kelmora's own
// folder, which holds it, is not there (Kelmora is not installed for this user), or the system
// refuses to create it. Empty when it can be created now after all.
std::string MissingLibraryCause(const std::string& appData, const std::string& machineFolder) {
  const std::string kelmora = NativeSeparators(appData + kKelmoraFolderPart);
  if (!IsExistingFolder(kelmora)) {
    return "Kelmora's folder " + kelmora +
           " is missing, so the library cannot be made there. Is Kelmora installed for this user?";
  }
  std::error_code code;
  std::filesystem::create_directory(PathFromUtf8(machineFolder), code);
  return code ? "The folder cannot be created: " + code.message() : std::string();
}

}  // namespace

std::int32_t AddinVersionFor(std::int32_t hostVersion) {
  // One unsigned comparison also sends every negative version to the first one.
  const std::uint32_t offset =
      static_cast<std::uint32_t>(hostVersion) - static_cast<std::uint32_t>(kFirstVersion);
  return offset < kVersionCount ? hostVersion : kFirstVersion;
}

std::string WrapperFileName() { return ProgramFileName(kWrapperName); }

std::string ReadInstallFolder() {
  std::string source;
  std::string folder = InstallFolder(&source);
  LogInfo("install folder " + folder + " (from " + source + ")");
  return folder;
}

std::vector<std::string> WrapperArguments(const LaunchValues& values, const std::string& pipeName,
                                          int unit) {
  return {"--language=" + Quoted(values.language),
          "--machineDirectory=" + Quoted(values.machineFolder),
          "--defaultUnit=" + std::to_string(unit), "--pipeName=" + Quoted(pipeName)};
}

void BringWrapperToFront(std::int64_t processId) { BringProcessWindowToFront(processId); }

void EditorLauncher::LaunchEditor() {
  const std::string installFolder = ReadInstallFolder();
  // DLLs loaded on demand later are found in the install folder as well.
  SetLibrarySearchFolder(installFolder);
  std::string machineFolder = PrepareMachineFolder(installFolder);
  MakeLinkOnce({installFolder + WrapperFileName(), kWrapperLanguage, std::move(machineFolder)});
  if (WrapperRunning()) {
    LogInfo("the wrapper runs already (process " + std::to_string(link_->wrapper()->id()) +
            "): brought to the front");
    BringWrapperToFront(link_->wrapper()->id());
    return;
  }
  StartWrapper();
}

bool EditorLauncher::StartWrapper() {
  if (!link_) return false;  // the launch values come with the link
  const int unit = host_.IsMetric() ? 0 : 1;
  // In place before the process exists, so that the new wrapper's first message reaches it.
  link_->ReplaceHandler(host_.MakeHandler());
  const LaunchValues& values = link_->launchValues();
  std::string error;
  LogInfo("starting the wrapper " + values.wrapperPath + " with machine folder " +
          values.machineFolder + ", pipe " + link_->pipeName() + ", unit " + std::to_string(unit));
  std::unique_ptr<ChildProcess> wrapper =
      StartProcess(values.wrapperPath, WrapperArguments(values, link_->pipeName(), unit), &error);
  if (!wrapper) {
    LogError("the wrapper " + values.wrapperPath + " cannot be started: " + error);
    return false;  // the next run command tries again
  }
  link_->SetWrapper(std::move(wrapper));
  return true;
}

bool EditorLauncher::WrapperRunning() const {
  return link_ && link_->wrapper() && link_->wrapper()->IsRunning();
}

// The default folder is filled with the generic machines the user lacks. A failure there leaves
// the user's library as it is, so the user hears of it and the editor starts all the same.
std::string EditorLauncher::PrepareMachineFolder(const std::string& installFolder) {
  const std::string appData = AppDataFolder();
  std::string machineFolder = NativeSeparators(FindMachineFolder(appData));
  if (appData.empty() || machineFolder != NativeSeparators(appData + kDefaultMachineFolderPart)) {
    return machineFolder;
  }
  std::string error;
  if (!IsExistingFolder(machineFolder)) error = MissingLibraryCause(appData, machineFolder);
  if (error.empty() && SeedMachineFolder(installFolder + NativeSeparators(kGenericMachinesFolder),
                                         machineFolder, &error)) {
    return machineFolder;
  }
  const std::string text = "The generic machines could not be copied into your machine library " +
                           machineFolder + ".\n\n" + error;
  LogWarning(text);
  // The run command prepares the folder at every call; the same problem is told only once.
  if (text != lastSeedingProblem_) {
    lastSeedingProblem_ = text;
    host_.Tell(text, MessageIcon::kNone);  // a failure, not something the user typed
  }
  return machineFolder;
}

void EditorLauncher::MakeLinkOnce(LaunchValues values) {
  std::call_once(linkOnce_, [&] {
    // What the link tells is a failure seen after the picker has closed.
    link_ = std::make_unique<PipeLink>(std::move(values), MakePipeName(), [this](std::string text) {
      LogWarning(text);
      host_.TellLater(text, MessageIcon::kNone);
    });
  });
}

}  // namespace rigwright
