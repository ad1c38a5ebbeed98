#include "wrapper/export/bundle_file.h"

#include <exception>

#include "common/path_text.h"
#include "wrapper/export/export_steps.h"
#include "wrapper/export/machine_export.h"
#include "wrapper/package/package_writer.h"

namespace rigwright {
namespace {

constexpr std::string_view kBundleExtension = ".OrvaneSimBundle";

bool WriteBundle(const std::string& machineFile, const std::string& outputPath,
                 const std::string& orientation, const std::string& externalPost,
                 ExportReport* report) {
  const MachinePackages packages = BuildMachinePackages(machineFile, orientation, report);
  if (!packages.ok) return false;
  const PackageNames names = PackageNamesFor(machineFile);

  std::string error;
  const std::unique_ptr<PackageSigner> signer = PackageSigner::Create(&error);
  if (!signer) return Fail(report, error);
  FileMap files = {{names.machine, packages.machinePackage},
                   {names.configuration, packages.configurationPackage}};
  std::optional<NamedFile> post;
  if (!ReadExternalPost(externalPost, {names.machine, names.configuration}, post, report) ||
      !CheckNothingLeftOut(machineFile, report)) {
    return false;
  }
  if (post) files[post->name] = std::move(post->bytes);

  const std::string target = BundleTargetPath(outputPath, names.stem);
  const Bytes payload = PackFiles(files, [&](std::uint64_t done, std::uint64_t total) {
    return ReportProgress(report, ExportProgress::Stage::kPacking, std::string(FileNameOf(target)),
                          done, total);
  });
  if (WasCancelled(report)) return false;
  if (payload.empty()) {
    return Fail(report, target + ": the bundle would reach 4 GiB, which the format cannot hold");
  }
  const Bytes bundle = signer->Sign(payload);
  std::string reason;
  if (!CreateParentDirectories(target, &reason)) {
    return Fail(report, std::string(DirectoryPrefixOf(target)) +
                            ": the folder cannot be created: " + reason);
  }
  return WriteFilesTogether({{target, &bundle}}, report);
}

}  // namespace

bool ExportMachineBundle(const std::string& machineFile, const std::string& outputPath,
                         const std::string& orientation, const std::string& externalPost,
                         ExportReport* report) {
  try {
    return WriteBundle(machineFile, outputPath, orientation, externalPost, report);
  } catch (const std::exception& e) {
    return Fail(report, outputPath + ": " + e.what());
  }
}

std::string BundleTargetPath(std::string_view outputPath, std::string_view stem) {
  const size_t dot = outputPath.rfind('.');
  const std::string_view extension =
      dot == std::string_view::npos ? std::string_view() : outputPath.substr(dot);
  if (extension == kBundleExtension) return std::string(outputPath);
  return std::string(DirectoryPrefixOf(outputPath)) + std::string(stem) +
         std::string(kBundleExtension);
}

}  // namespace rigwright
