#include "wrapper/export/machine_export.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string_view>

#include "common/path_text.h"
#include "platform/file_location.h"
#include "platform/file_write.h"
#include "platform/made_folders.h"
#include "wrapper/export/export_steps.h"
#include "wrapper/machine/file_bytes.h"
#include "wrapper/machine/machine_document.h"
#include "wrapper/package/package_reader.h"
#include "wrapper/package/package_writer.h"

namespace rigwright {
namespace {

using Stage = ExportProgress::Stage;

struct MachineFileParts {
  std::string directory;   // with its trailing separator; empty for a bare file name
  std::string stem;
  std::string dataFolder;  // directory + stem + '/'
};

MachineFileParts PartsOf(const std::string& machineFile) {
  MachineFileParts parts{std::string(DirectoryPrefixOf(machineFile)),
                         std::string(StemOf(machineFile)), {}};
  parts.dataFolder = parts.directory + parts.stem + "/";
  return parts;
}

// A stem of "", "." or ".." would make the machine data folder the machine file's own folder or
// its parent, and put the installed machine beside or above the target folder.
bool CheckStem(const std::string& machineFile, const MachineFileParts& parts,
               ExportReport* report) {
  if (parts.stem != "" && parts.stem != "." && parts.stem != "..") return true;
  return Fail(report, machineFile +
                          ": the machine file's name before its extension is empty, \".\" or "
                          "\"..\", which names no machine data folder");
}

// The folders a model may come from, resolved, so that a model reached through a link can be
// told apart from one that stays inside them.
std::vector<std::filesystem::path> ModelFolders(const MachineFileParts& parts) {
  std::vector<std::filesystem::path> folders;
  for (const std::string& folder : {parts.dataFolder, parts.directory}) {
    std::filesystem::path resolved =
        ResolvedLocation(PathFromUtf8(folder.empty() ? "." : folder), nullptr);
    if (!resolved.empty()) folders.push_back(std::move(resolved));
  }
  return folders;
}

// How many folders below the machine file's folder `path` ends when taken from `depth` folders
// below it, by its text alone (either separator); -1 when it climbs above that folder on the way.
int DepthAfter(std::string_view path, int depth) {
  for (std::size_t start = 0; start <= path.size();) {
    const std::size_t end = std::min(path.find_first_of("/\\", start), path.size());
    const std::string_view part = path.substr(start, end - start);
    if (part == "..") {
      if (--depth < 0) return -1;
    } else if (!part.empty() && part != ".") {
      ++depth;
    }
    start = end + 1;
  }
  return depth;
}

// Why the text of a model's "Path" names no file of the machine: empty, absolute, or climbing
// above the machine file's folder. ".." that stays inside is fine: "../common/x.stl" from the
// machine data folder names <dir>/common/x.stl.
std::optional<std::string> UnsafeModelPath(std::string_view path) {
  if (path.empty()) return "the name is empty";
  if (path.find('\0') != std::string_view::npos) return "the name contains a NUL byte";
  const bool drive =
      path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
  if (path[0] == '/' || path[0] == '\\' || drive) return "the name is an absolute path";
  if (DepthAfter(path, 1) < 0) {
    return "the name leads out of the machine data folder and the machine file's folder";
  }
  return std::nullopt;
}

// The merged, settled document as the text of the packages' "config.json".
bool PrepareDocument(const std::string& machineFile, const MachineFileParts& parts,
                     const std::string& orientation, Json::Value& root, ExportReport* report) {
  std::string error;
  if (!ReadJsonDocument(PathFromUtf8(machineFile), root, &error)) return Fail(report, error);
  if (!ChooseDefinition(root, &error)) return Fail(report, machineFile + ": " + error);
  const std::string configPath = parts.dataFolder + "config.json";
  if (std::string why; !FileCanBeOpened(PathFromUtf8(configPath), &why)) {
    return Fail(report, configPath + ": " + ReadFailureText(kFileCannotBeOpened, why) +
                            "; the machine data folder of " + machineFile +
                            " must hold its user configuration");
  }
  if (!MergeUserConfiguration(root, PathFromUtf8(configPath), &error)) return Fail(report, error);
  const char* key = root.isMember("MachineDefinitionLocked") ? "MachineDefinitionLocked"
                                                              : "MachineDefinition";
  Json::Value& definition = root[key];
  const std::string misTyped = FindMisTypedPath(definition, key);
  if (!misTyped.empty()) return Fail(report, machineFile + ": " + misTyped);
  if (!SettleHeader(definition, orientation, &error)) return Fail(report, machineFile + ": " + error);
  return true;
}

void LeaveOut(ExportReport* report, LeftOutFile file) {
  if (report) report->leftOut.push_back(std::move(file));
}

// Chooses the file of the model named by `path`, from the machine data folder or else from the
// machine file's folder; it is read only when packed, and checked again then. A model found in
// neither is left out; so is one whose path leaves those folders, in its text or through a link,
// that is not a regular file, or that cannot be opened. One that is found but is too large for a
// record fails the export rather than packing a damaged record.
bool GatherModel(const std::string& path, const MachineFileParts& parts,
                 const std::vector<std::filesystem::path>& modelFolders,
                 std::map<std::string, RecordSource>& models, ExportReport* report) {
  if (auto reason = UnsafeModelPath(path)) {
    LeaveOut(report, LeftOutModel(path, LeftOutFile::Reason::kUnsafe, *reason));
    return true;
  }
  std::vector<std::string> folders = {parts.dataFolder};
  if (DepthAfter(path, 0) >= 0) folders.push_back(parts.directory);
  std::optional<LeftOutFile> refused;
  for (const std::string& folder : folders) {
    const std::string candidate = folder + path;
    FileForReading file;
    if (!file.Open(PathFromUtf8(candidate))) {
      if (file.failure() != FileForReading::Failure::kMissing) {
        refused = NotOpened(path, candidate, file);
      }
      continue;
    }
    if (auto outside = OutsideTheFolders(file, modelFolders)) {
      refused = LeftOutModel(path, LeftOutFile::Reason::kOutside, *outside);
      continue;
    }
    if (file.size() >= kMaxPayloadBytes)
      return Fail(report, candidate + ": " + ReadFileResultText(kFileTooLarge));
    RecordSource& model = models[path];
    model.name = path;
    model.size = file.size();
    model.file = candidate;
    model.within = modelFolders;
    return true;
  }
  if (!refused) {
    refused = LeftOutModel(path, LeftOutFile::Reason::kNotFound, {});
    for (const std::string& folder : folders) {
      refused->searched.push_back(folder.empty() ? "./" : folder);
    }
  }
  LeaveOut(report, std::move(*refused));
  return true;
}

}  // namespace

bool GatherMachine(const std::string& machineFile, const std::string& orientation,
                   GatheredMachine& machine, ExportReport* report) {
  const MachineFileParts parts = PartsOf(machineFile);
  if (!CheckStem(machineFile, parts, report)) return false;
  Json::Value root;
  if (!PrepareDocument(machineFile, parts, orientation, root, report)) return false;
  machine.names = PackageNamesFor(machineFile);
  machine.document = WriteDocument(root);
  const char* key = root.isMember("MachineDefinitionLocked") ? "MachineDefinitionLocked"
                                                              : "MachineDefinition";
  const std::vector<std::string> paths = CollectModelPaths(root[key]);

  const std::vector<std::filesystem::path> modelFolders = ModelFolders(parts);
  std::set<std::string> met;  // a model named again is packed, or left out, once
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (!ReportProgress(report, Stage::kReading, paths[i], i, paths.size())) return false;
    if (!met.insert(paths[i]).second) continue;
    if (!GatherModel(paths[i], parts, modelFolders, machine.models, report)) return false;
  }
  return CheckNothingLeftOut(machineFile, report);
}

// The configuration package is small and made in memory.
bool MakeConfigurationPackage(const GatheredMachine& machine, PackageSigner& signer, Bytes& package,
                              ExportReport* report) {
  const std::span<const std::uint8_t> document = machine.documentBytes();
  const Bytes payload = PackFiles({{"config.json", Bytes(document.begin(), document.end())}},
                                  [&](std::uint64_t done, std::uint64_t total) {
                                    return ReportProgress(report, Stage::kPacking,
                                                          machine.names.configuration, done, total);
                                  });
  if (WasCancelled(report)) return false;
  if (payload.empty()) {
    return Fail(report, machine.names.configuration +
                            ": the package would reach 4 GiB, which the format cannot hold");
  }
  package = signer.Sign(payload);
  return true;
}

namespace {

bool BuildPackages(const std::string& machineFile, const std::string& orientation,
                   MachinePackages& packages, ExportReport* report) {
  GatheredMachine machine;
  if (!GatherMachine(machineFile, orientation, machine, report)) return false;
  const std::unique_ptr<PackageSigner> signer = MakeSigner(report);
  if (!signer) return false;
  MemoryOutput output;
  if (!WritePackage(machine.MachineRecords(), machine.names.machine, *signer, output, report) ||
      !MakeConfigurationPackage(machine, *signer, packages.configurationPackage, report)) {
    return false;
  }
  packages.machinePackage = std::move(output.bytes);
  return true;
}

bool Install(const std::string& machineFile, const std::string& targetFolder,
             const std::string& orientation, const std::string& externalPost,
             ExportReport* report) {
  GatheredMachine machine;
  if (!GatherMachine(machineFile, orientation, machine, report)) return false;
  const PackageNames& names = machine.names;
  const std::string folder = WithTrailingSeparator(targetFolder) + names.stem + "/";

  std::optional<NamedFile> post;
  if (!ReadExternalPost(externalPost, {names.machine, names.configuration}, post, report) ||
      !CheckNothingLeftOut(machineFile, report)) {
    return false;
  }
  const std::unique_ptr<PackageSigner> signer = MakeSigner(report);
  Bytes configuration;
  if (!signer || !MakeConfigurationPackage(machine, *signer, configuration, report)) return false;
  MadeFolders made;  // every folder it made goes again when the install fails
  std::error_code madeError;
  if (!made.Make(PathFromUtf8(folder), madeError)) {
    return Fail(report, folder + ": the folder cannot be created: " + madeError.message());
  }
  std::vector<OutputFile> files = {{folder + names.machine,
                                    [&](NewFile& file) {
                                      FileOutput output(file);
                                      return WritePackage(machine.MachineRecords(), names.machine,
                                                          *signer, output, report);
                                    }},
                                   OutputOf(folder + names.configuration, configuration)};
  if (post) files.push_back(OutputOf(folder + post->name, post->bytes));
  return made.KeepIf(WriteFilesTogether(files, report));
}

}  // namespace

MachinePackages BuildMachinePackages(const std::string& machineFile, const std::string& orientation,
                                     ExportReport* report) {
  MachinePackages packages;
  try {
    packages.ok = BuildPackages(machineFile, orientation, packages, report);
  } catch (const std::exception& e) {
    // Nothing below is expected to throw; if a library still does, the export fails cleanly.
    packages.ok = Fail(report, machineFile + ": " + e.what());
  }
  if (!packages.ok) packages = MachinePackages{};
  return packages;
}

bool InstallMachine(const std::string& machineFile, const std::string& targetFolder,
                    const std::string& orientation, const std::string& externalPost,
                    ExportReport* report) {
  try {
    return Install(machineFile, targetFolder, orientation, externalPost, report);
  } catch (const std::exception& e) {
    return Fail(report, targetFolder + ": " + e.what());
  }
}

bool CreateParentDirectories(const std::string& filePath, std::string* reason) {
  const std::string_view folder = DirectoryPrefixOf(filePath);
  if (folder.empty()) return true;
  std::string ignored;
  std::string& why = reason ? *reason : ignored;
  try {
    std::error_code error;
    std::filesystem::create_directories(PathFromUtf8(folder), error);
    if (!error && !std::filesystem::is_directory(PathFromUtf8(folder), error) && !error) {
      error = std::make_error_code(std::errc::not_a_directory);
    }
    if (error) why = error.message();
    return !error;
  } catch (const std::exception& e) {
    why = e.what();
    return false;
  }
}

}  // namespace rigwright
