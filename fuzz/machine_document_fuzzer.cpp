// The machine document path, from the files the editor (or a hand) writes to the two signed
// packages. The input is split at "\n--config--\n" into the machine file and the user
// configuration; its first byte picks the orientation. The machine is written into a private
// folder beside models that it may reach and files that it must not, and exported with
// BuildMachinePackages. Whatever it builds must read back with the same document in both
// packages and only models from inside the machine's folders.
#include <cryptopp/rsa.h>
#include <json/json.h>

#include <cstdint>
#include <fstream>
#include <set>
#include <string>

#include "fuzz/fuzz_support.h"
#include "fuzz/package_key.h"
#include "wrapper/export/machine_export.h"
#include "wrapper/machine/machine_document.h"
#include "wrapper/package/package_reader.h"
#include "wrapper/package/signing_key.h"

namespace rigwright {
namespace {

using fuzz::PublicKey;

constexpr std::string_view kSecret = "secret outside the machine's folders";

void Write(const std::filesystem::path& path, std::string_view content) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// <root>/secret.stl and <root>/machines/{Mill.mcfg, table.stl, Mill/{config.json, base.stl,
// sub/spindle.stl, link.stl -> ../../secret.stl, up.stl -> ../table.stl}}.
std::filesystem::path LayOutMachine(const std::filesystem::path& root, std::string_view machine,
                                    std::string_view config) {
  const std::filesystem::path dir = root / "machines";
  Write(root / "secret.stl", kSecret);
  Write(dir / "Mill.mcfg", machine);
  Write(dir / "table.stl", "table model");
  Write(dir / "Mill" / "config.json", config);
  Write(dir / "Mill" / "base.stl", "base model");
  Write(dir / "Mill" / "sub" / "spindle.stl", "spindle model");
  std::filesystem::create_symlink("../../secret.stl", dir / "Mill" / "link.stl");
  std::filesystem::create_symlink("../table.stl", dir / "Mill" / "up.stl");
  return dir;
}

std::string Text(std::span<const std::uint8_t> bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// A model record holds the file the machine names, from its data folder or else its own folder.
void CheckModel(const std::filesystem::path& dir, const RecordView& record) {
  const std::string data = Text(record.data);
  FUZZ_CHECK(data != kSecret);
  std::set<std::string> candidates;
  for (const auto& folder : {dir / "Mill", dir}) {
    std::error_code error;
    const std::filesystem::path file = folder / std::string(record.name);
    if (std::filesystem::is_regular_file(file, error)) candidates.insert(ReadText(file));
  }
  FUZZ_CHECK(candidates.count(data) == 1);
}

void CheckPackages(const std::filesystem::path& dir, const MachinePackages& packages) {
  const PackageView machine = ViewSignedPackage(packages.machinePackage, PublicKey());
  const PackageView configuration = ViewSignedPackage(packages.configurationPackage, PublicKey());
  FUZZ_CHECK(machine.ok() && configuration.ok());
  FUZZ_CHECK(configuration.records.size() == 1 && configuration.records[0].name == "config.json");
  const std::string document = Text(configuration.records[0].data);

  Json::Value root;
  Json::Reader reader;
  FUZZ_CHECK(reader.parse(document, root) && root.isObject());
  const char* key =
      root.isMember("MachineDefinitionLocked") ? "MachineDefinitionLocked" : "MachineDefinition";
  FUZZ_CHECK(root[key].isObject() && root[key]["Header"].isObject());
  const std::vector<std::string> paths = CollectModelPaths(root[key]);
  const std::set<std::string> named(paths.begin(), paths.end());

  bool sawDocument = false;
  for (const RecordView& record : machine.records) {
    if (record.name == "config.json") {
      sawDocument = true;
      FUZZ_CHECK(Text(record.data) == document);
    } else {
      FUZZ_CHECK(named.count(std::string(record.name)) == 1);
      CheckModel(dir, record);
    }
  }
  FUZZ_CHECK(sawDocument);
}

}  // namespace
}  // namespace rigwright

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace rigwright;
  static const fuzz::PrivateFolder folder;
  static const char* const kOrientations[] = {"Don't change", "Vertical", "Horizontal", "Lathe",
                                              "lathe"};
  if (size == 0) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::vector<std::string_view> parts = fuzz::SplitInput(input, "\n--config--\n");
  folder.Clear();
  const std::filesystem::path dir =
      LayOutMachine(folder.path(), parts[0], parts.size() > 1 ? parts[1] : std::string_view());

  ExportReport report;
  const MachinePackages packages =
      BuildMachinePackages((dir / "Mill.mcfg").string(), kOrientations[data[0] % 5], &report);
  if (packages.ok) {
    FUZZ_CHECK(report.error.empty());
    CheckPackages(dir, packages);
  } else {
    FUZZ_CHECK(!report.error.empty());
    FUZZ_CHECK(packages.machinePackage.empty() && packages.configurationPackage.empty());
  }
  return 0;
}
