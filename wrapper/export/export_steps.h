// Steps that the install and bundle writers share.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/path_text.h"
#include "platform/file_location.h"
#include "wrapper/export/export_report.h"
#include "wrapper/package/file_map.h"
#include "wrapper/package/package_writer.h"

namespace rigwright {

class NewFile;

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

// Why `path` (a model, or the post) is left out: the file `candidate` that stands for it exists
// but `file` could not open it, as a regular file or at all.
LeftOutFile NotOpened(const std::string& path, const std::string& candidate,
                      const FileForReading& file);

// Why the opened model `file` may not be read, when it lies outside every one of `folders` (the
// machine's folders, resolved): "<leads> <where it lies>, outside the machine data folder and the
// machine file's folder", or that where it lies cannot be told. Nothing when it lies inside one.
std::optional<std::string> OutsideTheFolders(FileForReading& file,
                                             const std::vector<std::filesystem::path>& folders,
                                             const std::string& leads = "it leads to");

struct NamedFile {
  std::string name;  // file name only, UTF-8
  Bytes bytes;
};

// The external post file to carry along: nullopt (and true) when `externalPost` is empty or is
// not a regular file, as such a post is left out (and listed in the report). False when it can be
// opened but not read whole, or when its name would take the place of one of `reservedNames`.
bool ReadExternalPost(const std::string& externalPost, const std::vector<std::string>& reservedNames,
                      std::optional<NamedFile>& post, ExportReport* report);

// One record of a package being written: its name and where its data comes from. The data is
// read in slices as it is packed, never held whole.
struct RecordSource {
  std::string name;
  std::uint64_t size = 0;
  ContentKind kind = ContentKind::kCompressible;
  std::span<const std::uint8_t> bytes;  // data in memory, or
  std::string file;            // a file, UTF-8 path, read when packed (`size` as found), or
  NewFile* written = nullptr;  // a file this export has just written itself
  // For `file`: the folders, resolved, that the file read must lie in (empty: anywhere).
  std::vector<std::filesystem::path> within;

  static RecordSource Held(std::string name, std::span<const std::uint8_t> bytes,
                           ContentKind kind = ContentKind::kCompressible) {
    return {std::move(name), bytes.size(), kind, bytes, {}, nullptr, {}};
  }
  static RecordSource Written(std::string name, NewFile& file, std::uint64_t size) {
    return {std::move(name), size, ContentKind::kIncompressible, {}, {}, &file, {}};
  }
};

// Writes the signed package of `records` (any order: they are packed in name order) to `out`,
// telling progress as packing `item`. False on a read failure, a payload of 4 GiB, a cancel
// (with the reason in the report) or a failing output (with the report untouched: the output
// knows why).
bool WritePackage(std::vector<RecordSource> records, const std::string& item, PackageSigner& signer,
                  PackageOutput& out, ExportReport* report);

// A package output into a new file.
class FileOutput : public PackageOutput {
 public:
  explicit FileOutput(NewFile& file) : file_(file) {}
  bool Write(std::span<const std::uint8_t> bytes) override;
  bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override;

 private:
  NewFile& file_;
};

// A file of an export: where it goes and what writes it.
struct OutputFile {
  std::string target;
  std::function<bool(NewFile&)> write;
};
OutputFile OutputOf(std::string target, std::span<const std::uint8_t> bytes);

// Writes every file beside its target and then puts them all in place; on failure nothing
// changes and no temporary file is left behind.
bool WriteFilesTogether(const std::vector<OutputFile>& files, ExportReport* report);

// What a machine's packages are made of: the merged document and the model files, found but not
// yet read.
struct GatheredMachine {
  PackageNames names;
  std::string document;
  std::map<std::string, RecordSource> models;

  std::span<const std::uint8_t> documentBytes() const {
    return {reinterpret_cast<const std::uint8_t*>(document.data()), document.size()};
  }
  // The machine package's records: the models and the document as "config.json" (which takes
  // the place of a model of that name).
  std::vector<RecordSource> MachineRecords() const {
    std::vector<RecordSource> records;
    for (const auto& [name, model] : models) {
      if (name != "config.json") records.push_back(model);
    }
    records.push_back(RecordSource::Held("config.json", documentBytes()));
    return records;
  }
};

// Reads and merges the machine's document and finds its model files (reading none yet), as
// BuildMachinePackages does first. False, with the reason in the report, when the machine cannot
// be exported.
bool GatherMachine(const std::string& machineFile, const std::string& orientation,
                   GatheredMachine& machine, ExportReport* report);

// The configuration package, small and made in memory.
bool MakeConfigurationPackage(const GatheredMachine& machine, PackageSigner& signer, Bytes& package,
                              ExportReport* report);

// The signing objects of one export; null, with the reason in the report, when the built-in key
// cannot be decoded.
std::unique_ptr<PackageSigner> MakeSigner(ExportReport* report);

}  // namespace rigwright
