// What an export operation tells its caller besides success or failure.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace rigwright {

struct ExportProgress {
  enum class Stage { kReading, kPacking, kWriting };
  Stage stage = Stage::kReading;
  std::string item;         // the model being read, the package being packed, the file written
  std::uint64_t done = 0;   // reading: files read; packing: content bytes packed; writing: files
  std::uint64_t total = 0;  // of the same unit
};

struct ExportReport {
  // Why the operation failed, naming the file and the problem. Empty after success.
  std::string error;
  // Model paths that were refused, with the reason: empty, absolute, with a ".." component, not
  // a regular file, or leading outside the machine's folders through a link.
  std::vector<std::string> warnings;
  // Model paths found neither in the machine data folder nor beside the machine file. The export
  // leaves them out and still succeeds.
  std::vector<std::string> missingModels;
  // Called on the exporting thread as files are read, packed and written. Optional.
  std::function<void(const ExportProgress&)> progress;
};

}  // namespace rigwright
