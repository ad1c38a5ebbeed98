#include "wrapper/ui/export_dialog_model.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "common/path_text.h"
#include "platform/user_folders.h"
#include "wrapper/export/bundle_file.h"
#include "wrapper/export/machine_export.h"
#include "wrapper/machine/file_bytes.h"

namespace rigwright {
namespace {

constexpr std::string_view kBundleDescription =
    "Create a bundle file that can be installed in Kelmora on any PC.\n"
    "Kelmora Setup -> Machine Installer -> Custom Machine.";
constexpr std::string_view kInstalledDescription =
    "Install this machine directly in Kelmora on this PC.";

// The editor's exports, each told to the support log as it ends.
class RealWriters final : public ExportWriters {
 public:
  bool ExportBundle(const std::string& machineFile, const std::string& outputPath,
                    const std::string& orientation, const std::string& externalPost,
                    ExportReport* report) override {
    return Logged("bundle of " + machineFile + " to " + outputPath, report, [&] {
      return ExportMachineBundle(machineFile, outputPath, orientation, externalPost, report);
    });
  }
  bool Install(const std::string& machineFile, const std::string& targetFolder,
               const std::string& orientation, const std::string& externalPost,
               ExportReport* report) override {
    return Logged("install of " + machineFile + " into " + targetFolder, report, [&] {
      return InstallMachine(machineFile, targetFolder, orientation, externalPost, report);
    });
  }

 private:
  template <typename Write>
  static bool Logged(const std::string& what, const ExportReport* report, const Write& write) {
    const auto start = std::chrono::steady_clock::now();
    const bool ok = write();
    if (report) LogExportOutcome(what, ok, *report, std::chrono::steady_clock::now() - start);
    return ok;
  }
};

ExportDialogModel::Outcome Closing(DialogMessage message) { return {std::move(message), true}; }

ExportDialogModel::Outcome Staying(std::string_view text) {
  return {DialogMessage{std::string(text), MessageIcon::kExclamation}, false};
}

ExportDialogModel::Outcome WriterOutcome(bool ok, const ExportReport& report) {
  if (report.cancelled) return Closing({std::string(kCancelledMessage), MessageIcon::kInformation});
  if (!ok) return Closing({FailureMessageText(report.error), MessageIcon::kNone});
  // Something left out is for the user to fix, in the machine's files, before Kelmora shows a
  // component without its solid.
  const MessageIcon icon =
      report.leftOut.empty() ? MessageIcon::kInformation : MessageIcon::kExclamation;
  return Closing({SuccessMessageText(report.leftOut), icon});
}

}  // namespace

ExportWriters& RealExportWriters() {
  static RealWriters writers;
  return writers;
}

std::string FindSimulatorMachineFolder() {
  const std::string folder = SimulatorMachineFolderPath();
  std::error_code error;
  if (folder.empty() || !std::filesystem::is_directory(PathFromUtf8(folder), error)) return {};
  return folder;
}

std::string DefaultBundleFileName(std::string_view machineFile) {
  return std::string(StemOf(machineFile));
}

void ExportDialogModel::SetMachineFile(std::string machineFile) {
  machineFile_ = std::move(machineFile);
  defaultFileName_ = DefaultBundleFileName(machineFile_);
}

void ExportDialogModel::Initialize(const std::string& simulatorFolder) {
  targets_ = {std::string(kBundleTargetText)};
  if (!simulatorFolder.empty()) targets_.emplace_back(kInstalledTargetText);
  Select(static_cast<int>(targets_.size()) - 1);
}

void ExportDialogModel::Select(int index) {
  selection_ = index;
  if (index == kBundleTarget) {
    description_ = kBundleDescription;
    saveAsVisible_ = true;
  } else if (index == kInstalledTarget) {
    description_ = kInstalledDescription;
    saveAsVisible_ = false;
  }
}

ExportDialogModel::Outcome ExportDialogModel::Confirm(
    const std::string& saveAsText, const std::string& postText, ExportWriters& writers,
    const std::function<std::string()>& findSimulatorFolder, ExportReport& report) const {
  const std::string orientation(kDontChangeOrientation);
  std::string why;
  if (!postText.empty() && !FileCanBeOpened(PathFromUtf8(postText), &why)) {
    // The fixed text first, then what the system said: a post that is there but cannot be read
    // ("Permission denied", "it is a folder") is not the same fault as one that is gone.
    return Staying(std::string(kPostMissingMessage) + "\n\n" + postText + ": " + why);
  }
  if (selection_ == kBundleTarget) {
    if (saveAsText.empty()) return Staying(kNoOutputMessage);
    return WriterOutcome(
        writers.ExportBundle(machineFile_, saveAsText, orientation, postText, &report), report);
  }
  if (selection_ == kInstalledTarget) {
    const std::string folder = findSimulatorFolder();
    if (folder.empty()) {
      report.error = "Kelmora's machine folder (" + SimulatorMachineFolderPath() +
                     ") no longer exists.";
      return WriterOutcome(false, report);
    }
    return WriterOutcome(writers.Install(machineFile_, folder, orientation, postText, &report),
                         report);
  }
  return Closing({std::string(kFailureMessage), MessageIcon::kNone});
}

std::string FailureMessageText(const std::string& reason) {
  std::string text(kFailureMessage);
  if (!reason.empty()) text += "\n\n" + reason;
  return text;
}

std::string SuccessMessageText(const std::vector<LeftOutFile>& leftOut) {
  std::string text(kSuccessMessage);
  if (leftOut.empty()) return text;
  text += "\n\n";
  text += leftOut.size() == 1 ? "1 file was left out:"
                              : std::to_string(leftOut.size()) + " files were left out:";
  for (std::size_t i = 0; i < leftOut.size() && i < kLeftOutNamed; ++i) {
    text += "\n" + LeftOutLine(leftOut[i]);
  }
  if (leftOut.size() > kLeftOutNamed) {
    text += "\nand " + std::to_string(leftOut.size() - kLeftOutNamed) + " more";
  }
  return text;
}

std::string FileDialogFilter(std::string_view filter) {
  while (filter.ends_with('|')) filter.remove_suffix(1);
  return std::string(filter);
}

std::string WithDefaultExtension(const std::string& path, std::string_view extension) {
  const std::string_view name = FileNameOf(path);
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  const bool hasIt = name.size() >= extension.size() &&
                     std::equal(extension.begin(), extension.end(),
                                name.end() - static_cast<std::ptrdiff_t>(extension.size()),
                                [&](char a, char b) { return lower(a) == lower(b); });
  if (name.empty() || hasIt) return path;
  return path + std::string(extension);
}

}  // namespace rigwright
