// Test support for the export writers: machines written into a real temporary folder, and
// packages read back with the built-in public key.
#pragma once

#include <cryptopp/rsa.h>
#include <gtest/gtest.h>
#include <json/json.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>

#include "common/testing/test_folder.h"
#include "wrapper/export/export_report.h"
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

// `size` bytes of text that compresses, but not to nothing: models that take a while to pack.
inline std::string CompressibleNoise(std::size_t size, std::uint32_t seed = 1) {
  std::string text(size, ' ');
  for (char& c : text) {
    seed = seed * 1664525u + 1013904223u;
    c = static_cast<char>('a' + (seed >> 27) % 16);
  }
  return text;
}

// What the report says was left out, as the user reads it.
inline std::vector<std::string> LeftOutLines(const ExportReport& report) {
  std::vector<std::string> lines;
  for (const LeftOutFile& file : report.leftOut) lines.push_back(LeftOutLine(file));
  return lines;
}

// A report whose caller cancels at the `stopAt`-th question (counting from 0), and counts the
// questions asked.
struct CancellingReport {
  explicit CancellingReport(int stopAt) : stopAt(stopAt) {
    report.cancelRequested = [this] { return asked++ == this->stopAt; };
  }
  int stopAt;
  int asked = 0;
  ExportReport report;
};

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
