// What the export dialog decides, apart from its widgets: the targets it offers, the description
// of the chosen one, and what OK does (which message, which writer with which arguments, whether
// the dialog closes). The wx view only shows this state and forwards the user's actions.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wrapper/export/export_report.h"

namespace rigwright {

inline constexpr std::string_view kBundleTargetText = "Kelmora bundle (.OrvaneSimBundle)";
inline constexpr std::string_view kInstalledTargetText = "Kelmora installed machine";
inline constexpr std::string_view kDontChangeOrientation = "Don't change";
inline constexpr std::string_view kSuccessMessage = "Success!";
inline constexpr std::string_view kFailureMessage = "Something went wrong!";
inline constexpr std::string_view kPostMissingMessage =
    "A path to an external post was provided, but the file cannot be found.";
inline constexpr std::string_view kNoOutputMessage = "Please select an output file.";
inline constexpr std::string_view kCancelledMessage =
    "The export was cancelled. Nothing was written.";
// How many left-out files the outcome message names before it only counts the rest.
inline constexpr std::size_t kLeftOutNamed = 10;

enum class MessageIcon { kNone, kExclamation, kInformation };

struct DialogMessage {
  std::string text;
  MessageIcon icon = MessageIcon::kNone;
};

// Shows messages to the user; the real one is a message box with an OK button.
class DialogMessages {
 public:
  virtual ~DialogMessages() = default;
  virtual void Show(const DialogMessage& message) = 0;
};

// The writers the dialog runs; tests put recording fakes in their place.
class ExportWriters {
 public:
  virtual ~ExportWriters() = default;
  virtual bool ExportBundle(const std::string& machineFile, const std::string& outputPath,
                            const std::string& orientation, const std::string& externalPost,
                            ExportReport* report) = 0;
  virtual bool Install(const std::string& machineFile, const std::string& targetFolder,
                       const std::string& orientation, const std::string& externalPost,
                       ExportReport* report) = 0;
};

// ExportMachineBundle and InstallMachine.
ExportWriters& RealExportWriters();

// Kelmora's machine folder (APPDATA + "/Kelmora/MachineCfg/") when it is an existing folder,
// else empty text.
std::string FindSimulatorMachineFolder();

// The name the save-as browser proposes: the machine file's stem ("C:\m\Mill.Big.mcfg" gives
// "Mill.Big"; a path without separator or dot is its own stem).
std::string DefaultBundleFileName(std::string_view machineFile);

class ExportDialogModel {
 public:
  static constexpr int kBundleTarget = 0;
  static constexpr int kInstalledTarget = 1;

  void SetMachineFile(std::string machineFile);
  const std::string& machineFile() const { return machineFile_; }
  const std::string& defaultFileName() const { return defaultFileName_; }

  // Fills the target list: the bundle always, the installed machine only when `simulatorFolder`
  // is not empty. Selects the last target.
  void Initialize(const std::string& simulatorFolder);
  const std::vector<std::string>& targets() const { return targets_; }
  int selection() const { return selection_; }

  // A selection change; the description and the save-as row follow targets 0 and 1 only.
  void Select(int index);
  const std::string& description() const { return description_; }
  bool saveAsVisible() const { return saveAsVisible_; }

  struct Outcome {
    std::optional<DialogMessage> message;
    bool close = false;
  };
  // What OK does with the two fields' texts. `findSimulatorFolder` is asked again for the
  // installed-machine target, since the folder may have gone since the dialog opened.
  Outcome Confirm(const std::string& saveAsText, const std::string& postText,
                  ExportWriters& writers, const std::function<std::string()>& findSimulatorFolder,
                  ExportReport& report) const;

 private:
  std::string machineFile_;
  std::string defaultFileName_;
  std::vector<std::string> targets_;
  int selection_ = -1;
  std::string description_;
  bool saveAsVisible_ = true;
};

// The failure message: "Something went wrong!" and, after a blank line, the reason when known.
std::string FailureMessageText(const std::string& reason);

// The success message: "Success!" and, when the export left files out, after a blank line, one
// line for each of the first kLeftOutNamed of them and "and N more" for the rest.
std::string SuccessMessageText(const std::vector<LeftOutFile>& leftOut);

// A filter in the "Description|pattern|...||" form as the file dialog takes it (no trailing bars).
std::string FileDialogFilter(std::string_view filter);

// `path` with `extension` added unless its file name already ends in it (in any letter case), as
// the save dialog does: keeping the proposed "Mill.Big" saves "Mill.Big.OrvaneSimBundle".
std::string WithDefaultExtension(const std::string& path, std::string_view extension);

}  // namespace rigwright
