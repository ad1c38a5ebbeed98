#include "wrapper/export/bundle_file.h"

#include <exception>
#include <filesystem>

#include "common/path_text.h"
#include "platform/file_location.h"
#include "platform/file_write.h"
#include "platform/made_folders.h"
#include "platform/staged_files.h"
#include "wrapper/export/export_steps.h"
#include "wrapper/export/machine_export.h"
#include "wrapper/package/package_writer.h"

namespace rigwright {
namespace {

constexpr std::string_view kBundleExtension = ".OrvaneSimBundle";

// The machine package goes into a temporary file beside the bundle first (its signature covers
// its whole payload, so it must be complete before it can be put into the bundle) and is then
// streamed from there into the bundle, as data that is already compressed.
bool WriteMachinePackageBeside(const std::string& target, const GatheredMachine& machine,
                               PackageSigner& signer, NewFile& file, ExportReport* report) {
  if (!file.CreateTemporary(TemporaryPathBeside(PathFromUtf8(target), ".tmp"),
                            PathFromUtf8(target), NewFile::Use::kScratch)) {
    return Fail(report, file.error());
  }
  FileOutput output(file);
  return WritePackage(machine.MachineRecords(), machine.names.machine, signer, output, report) ||
         (report && !report->error.empty()) || Fail(report, file.error());
}

// Where the bundle goes: a bundle path that is a symbolic link (or a chain of them) keeps the
// link, and the file it finally leads to gets the new bundle, as writing through the link would
// do, but replaced in one step beside that file. The system tells a link (the library cannot on
// Windows, where it follows links and junctions alike) and where it finally leads.
std::string FinalTarget(const std::string& bundlePath) {
  std::filesystem::path path = PathFromUtf8(bundlePath);
  if (!IsLinkOrJunction(path)) return bundlePath;
  std::string unresolved;
  if (const std::filesystem::path location = ResolvedLocation(path, &unresolved);
      !location.empty()) {
    return Utf8FromPath(location);
  }
  // A link whose file is missing yet: followed hop by hop, where the library reads links.
  for (int hops = 0; hops < 40; ++hops) {  // as many as the system follows before ELOOP
    std::error_code error;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, error))) break;
    const std::filesystem::path link = std::filesystem::read_symlink(path, error);
    if (error) break;
    path = link.is_absolute() ? link : path.parent_path() / link;
  }
  return Utf8FromPath(path);
}

bool WriteBundle(const std::string& machineFile, const std::string& outputPath,
                 const std::string& orientation, const std::string& externalPost,
                 ExportReport* report) {
  GatheredMachine machine;
  if (!GatherMachine(machineFile, orientation, machine, report)) return false;
  const PackageNames& names = machine.names;
  std::optional<NamedFile> post;
  if (!ReadExternalPost(externalPost, {names.machine, names.configuration}, post, report) ||
      !CheckNothingLeftOut(machineFile, report)) {
    return false;
  }
  const std::unique_ptr<PackageSigner> signer = MakeSigner(report);
  Bytes configuration;
  if (!signer || !MakeConfigurationPackage(machine, *signer, configuration, report)) return false;

  const std::string target = FinalTarget(BundleTargetPath(outputPath, names.stem));
  MadeFolders made;  // every folder it made goes again when the export fails
  std::error_code madeError;
  if (!DirectoryPrefixOf(target).empty() &&
      !made.Make(PathFromUtf8(std::string(DirectoryPrefixOf(target))), madeError)) {
    return Fail(report, std::string(DirectoryPrefixOf(target)) +
                            ": the folder cannot be created: " + madeError.message());
  }
  NewFile machinePackage;  // removed when this returns
  if (!WriteMachinePackageBeside(target, machine, *signer, machinePackage, report)) return false;

  // Both packages are compressed already: they are stored, not deflated again.
  std::vector<RecordSource> records = {
      RecordSource::Written(names.machine, machinePackage, machinePackage.size()),
      RecordSource::Held(names.configuration, configuration, ContentKind::kIncompressible)};
  if (post) records.push_back(RecordSource::Held(post->name, post->bytes));
  const std::string item(FileNameOf(target));
  return made.KeepIf(WriteFilesTogether({{target,
                                        [&](NewFile& file) {
                                          FileOutput output(file);
                                          return WritePackage(records, item, *signer, output,
                                                              report);
                                        }}},
                                      report));
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
