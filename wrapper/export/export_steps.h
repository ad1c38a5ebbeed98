// Steps that the install and bundle writers share.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "wrapper/export/export_report.h"
#include "wrapper/package/file_map.h"

namespace rigwright {

// Records `text` as the reason for failure and returns false.
bool Fail(ExportReport* report, std::string text);

// Tells the caller how far the export is, and asks whether it may go on: false once the caller
// asked to cancel, with the report's `cancelled` and `error` set. Every progress point is a point
// where an export can stop without having changed anything.
bool ReportProgress(ExportReport* report, ExportProgress::Stage stage, const std::string& item,
                    std::uint64_t done, std::uint64_t total);

// True (with a message in the report) when the export stopped because the caller cancelled it.
bool WasCancelled(const ExportReport* report);

// False, with the first file left out as the reason, when the report is strict and something of
// `machineFile`'s export was left out.
bool CheckNothingLeftOut(const std::string& machineFile, ExportReport* report);

// The names a machine's files take: "<stem>.OrvaneSim" and "<stem>.OrvaneSimCfg".
struct PackageNames {
  std::string stem;
  std::string machine;
  std::string configuration;
};
PackageNames PackageNamesFor(const std::string& machineFile);

// "<path> is a folder", "... is a pipe", "... is a device": what stands where a file was wanted.
std::string NotRegularFileText(const std::string& path, const std::filesystem::file_status& status);

struct NamedFile {
  std::string name;  // file name only, UTF-8
  Bytes bytes;
};

// The external post file to carry along: nullopt (and true) when `externalPost` is empty or is
// not a regular file, as such a post is left out (and listed in the report). False when it can be
// opened but not read whole, or when its name would take the place of one of `reservedNames`.
bool ReadExternalPost(const std::string& externalPost, const std::vector<std::string>& reservedNames,
                      std::optional<NamedFile>& post, ExportReport* report);

// Writes every file beside its target and then puts them all in place; on failure nothing
// changes and no temporary file is left behind.
bool WriteFilesTogether(const std::vector<std::pair<std::string, const Bytes*>>& files,
                        ExportReport* report);

}  // namespace rigwright
