// The whole system as run.sh --headless plays it: the development host, the add-in and its picker,
// the wrapper, the development editor and the export dialog, each a real process or window, with
// a scripted user. Asserts on everything that comes out.
#include <cryptopp/rsa.h>
#include <gtest/gtest.h>
#include <json/json.h>

#include <fstream>
#include <iterator>

#include "common/testing/test_folder.h"
#include "standin/host/testing/whole_system_run.h"
#include "wrapper/package/package_reader.h"
#include "wrapper/package/signing_key.h"

namespace rigwright {
namespace {

Bytes ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::map<std::string, Bytes> VerifiedRecords(const Bytes& package) {
  CryptoPP::RSAFunction key;
  EXPECT_TRUE(LoadBuiltInPublicKey(key));
  const PackageReadResult result = ReadSignedPackage(package, key);
  EXPECT_TRUE(result.ok()) << result.detail;
  std::map<std::string, Bytes> records;
  for (const FileRecord& record : result.records) records[record.name] = record.data;
  return records;
}

// Facets of a binary STL file: the count after the 80-byte header, checked against the size.
std::uint32_t FacetCount(const Bytes& stl) {
  if (stl.size() < 84) return 0;
  const std::uint32_t count = ReadUint32(&stl[80]);
  return stl.size() == 84 + 50 * std::size_t{count} ? count : 0;
}

TEST(WholeSystemTest, ScriptedRunMakesExportsAndInstallsAMachineAndCleansUp) {
  TestFolder root;
  const testing::WholeSystemRun run = testing::PlayWholeSystem(root.path());
  ASSERT_EQ(run.failure, "");
  const std::filesystem::path& out = run.out;

  const std::string log = Text(ReadBytes(out / "host.log"));
  EXPECT_NE(log.find("mavrilo: add-solid done: added 2 solid(s) to Demo Mill"), std::string::npos)
      << log;
  EXPECT_NE(log.find("add-in unloaded"), std::string::npos) << log;
  EXPECT_EQ(Text(ReadBytes(out / "messages.txt")), "Success!\nSuccess!\n");
  EXPECT_TRUE(run.leftovers.empty()) << run.leftovers.front() << " is left";

  // The bundle: both packages, and in the machine package the solids and the merged document.
  const auto bundle = VerifiedRecords(ReadBytes(out / "bundles" / "Demo Mill.OrvaneSimBundle"));
  ASSERT_EQ(bundle.size(), 2u);
  const auto machine = VerifiedRecords(bundle.at("Demo Mill.OrvaneSim"));
  ASSERT_TRUE(machine.count("config.json"));
  Json::Value document;
  ASSERT_TRUE(Json::Reader().parse(Text(machine.at("config.json")), document));
  const Json::Value& components = document["MachineDefinition"]["Components"];
  ASSERT_EQ(components.size(), 2u) << Text(machine.at("config.json"));
  for (const Json::Value& component : components) {
    const std::string path = component["Geometry"]["Path"].asString();
    const std::string color = component["Geometry"]["Color"].asString();
    ASSERT_TRUE(machine.count(path)) << path;
    EXPECT_GT(FacetCount(machine.at(path)), 0u) << path;
    EXPECT_EQ(color.size(), 8u) << color;
    EXPECT_EQ(color.rfind("0x", 0), 0u) << color;
  }
  EXPECT_EQ(VerifiedRecords(bundle.at("Demo Mill.OrvaneSimCfg")).size(), 1u);

  // The same machine installed in Kelmora's folder.
  const std::filesystem::path& installed = run.installed;
  EXPECT_EQ(VerifiedRecords(ReadBytes(installed / "Demo Mill.OrvaneSim")).size(), machine.size());
  EXPECT_EQ(VerifiedRecords(ReadBytes(installed / "Demo Mill.OrvaneSimCfg")).size(), 1u);

  for (const char* shot : {"1-host.png", "2-stl-picker.png", "3-export-bundle.png",
                           "4-editor-and-export.png", "5-export-install.png"}) {
    EXPECT_GT(std::filesystem::file_size(out / "screenshots" / shot), 1000u) << shot;
  }
}

}  // namespace
}  // namespace rigwright
