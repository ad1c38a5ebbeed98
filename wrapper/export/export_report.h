// What an export operation tells its caller besides success or failure.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace rigwright {

struct ExportProgress {
  enum class Stage { kReading, kPacking, kWriting };
  Stage stage = Stage::kReading;
  std::string item;         // the model being read, the package being packed, the file written
  std::uint64_t done = 0;   // reading: files read; packing: content bytes packed; writing: files
  std::uint64_t total = 0;  // of the same unit
};

// A file that the export left out while it still succeeded.
struct LeftOutFile {
  enum class Reason {
    kNotFound,        // in none of `searched`
    kUnsafe,          // the path itself is refused (empty, absolute, with ".."); `detail` says why
    kNotRegularFile,  // a folder, device or pipe is there instead; `detail` names it
    kUnreadable,      // it is there but cannot be read; `detail` names it and says why
    kOutside,         // reaches outside the machine's folders through a link; `detail` says where
  };
  std::string path;  // as the machine document or the post field gives it
  Reason reason = Reason::kNotFound;
  std::string detail;
  std::vector<std::string> searched;  // the folders looked in, for kNotFound
  bool post = false;                  // the external post file rather than a model
};

// A model left out for `reason`, as told by `detail`.
inline LeftOutFile LeftOutModel(std::string path, LeftOutFile::Reason reason, std::string detail) {
  LeftOutFile file;
  file.path = std::move(path);
  file.reason = reason;
  file.detail = std::move(detail);
  return file;
}

// One line for the user about `file`, the same in the export dialog and in `rigwright`, e.g.
// model "base.stl" was not found in /m/Mill/ or /m/
std::string LeftOutLine(const LeftOutFile& file);

struct ExportReport {
  // Why the operation failed, naming the file and the problem. Empty after success.
  std::string error;
  // What was left out of a successful export, in the order met.
  std::vector<LeftOutFile> leftOut;
  // The files a successful export put in place (UTF-8 paths), in the order written.
  std::vector<std::string> written;
  // Makes anything left out a failure, found before anything is written. Set by the caller.
  bool strict = false;
  // Called on the exporting thread as files are read, packed and written. Optional.
  std::function<void(const ExportProgress&)> progress;
  // Asked on the exporting thread between files and slices; true stops the export, which then
  // fails without having changed anything and sets `cancelled`. Optional.
  std::function<bool()> cancelRequested;
  bool cancelled = false;
  // Called on the exporting thread when the export has to wait for another export into the same
  // folder (UTF-8 path) to end before it can write there. Optional.
  std::function<void(const std::string& folder)> waitingForFolder;
};

// Tells the support log how the export `what` (e.g. "bundle of <machine> to <path>") ended after
// `took`: the files written and left out, or why it failed or that it was cancelled. Paths and
// reasons only, never the files' content.
void LogExportOutcome(const std::string& what, bool ok, const ExportReport& report,
                      std::chrono::steady_clock::duration took);

}  // namespace rigwright
