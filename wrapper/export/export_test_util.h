// Test support for the export writers: machines written into a real temporary folder, and
// packages read back with the built-in public key.
#pragma once

#include <cryptopp/rsa.h>
#include <gtest/gtest.h>
#include <json/json.h>

#include <fstream>
#include <iterator>
#include <map>

#include "common/testing/test_folder.h"
#include "wrapper/package/package_reader.h"
#include "wrapper/package/signing_key.h"

namespace rigwright::testing {

inline const CryptoPP::RSAFunction& PublicKey() {
  static const CryptoPP::RSAFunction key = [] {
    CryptoPP::RSAFunction k;
    EXPECT_TRUE(LoadBuiltInPublicKey(k));
    return k;
  }();
  return key;
}

inline Bytes ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// The verified records of a package, by name.
inline std::map<std::string, Bytes> Records(const Bytes& package) {
  const PackageReadResult result = ReadSignedPackage(package, PublicKey());
  EXPECT_TRUE(result.ok()) << PackageErrorName(result.error) << ": " << result.detail;
  std::map<std::string, Bytes> records;
  for (const FileRecord& record : result.records) records[record.name] = record.data;
  return records;
}

inline std::vector<std::string> Names(const std::map<std::string, Bytes>& records) {
  std::vector<std::string> names;
  for (const auto& [name, data] : records) names.push_back(name);
  return names;
}

inline Json::Value ParseJson(const Bytes& bytes) {
  Json::Value root;
  Json::Reader reader;
  EXPECT_TRUE(reader.parse(Text(bytes), root));
  return root;
}

// A machine "<folder>/Mill.mcfg" with its data folder, written by the test.
class MachineFolderTest : public ::testing::Test {
 protected:
  std::string WriteMachine(const std::string& definition,
                           const std::string& config = R"({"UserConfiguration":{"Models":[]}})",
                           const std::string& stem = "Mill") {
    dir_.Write(stem + "/config.json", config);
    return dir_.Write(stem + ".mcfg", "{\"MachineDefinition\": " + definition + "}").string();
  }

  TestFolder dir_;
};

}  // namespace rigwright::testing
