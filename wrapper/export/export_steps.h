// Steps that the install and bundle writers share.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "wrapper/export/export_report.h"
#include "wrapper/package/file_map.h"

namespace rigwright {

// Records `text` as the reason for failure and returns false.
bool Fail(ExportReport* report, std::string text);

void ReportProgress(ExportReport* report, ExportProgress::Stage stage, const std::string& item,
                    std::uint64_t done, std::uint64_t total);

// The names a machine's files take: "<stem>.OrvaneSim" and "<stem>.OrvaneSimCfg".
struct PackageNames {
  std::string stem;
  std::string machine;
  std::string configuration;
};
PackageNames PackageNamesFor(const std::string& machineFile);

struct NamedFile {
  std::string name;  // file name only, UTF-8
  Bytes bytes;
};

// The external post file to carry along: nullopt (and true) when `externalPost` is empty or
// cannot be opened, as such a post is simply left out. False when it can be opened but not read
// whole, or when its name would take the place of one of `reservedNames`.
bool ReadExternalPost(const std::string& externalPost, const std::vector<std::string>& reservedNames,
                      std::optional<NamedFile>& post, ExportReport* report);

// Writes every file beside its target and then puts them all in place; on failure nothing
// changes and no temporary file is left behind.
bool WriteFilesTogether(const std::vector<std::pair<std::string, const Bytes*>>& files,
                        ExportReport* report);

}  // namespace rigwright
