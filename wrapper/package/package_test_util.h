// Test support for package tests: the built-in public key, and plain access to payload bytes.
#pragma once

#include <cryptopp/rsa.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <span>
#include <string>

#include "wrapper/package/file_map.h"
#include "wrapper/package/package_reader.h"
#include "wrapper/package/package_writer.h"
#include "wrapper/package/signing_key.h"

namespace rigwright::testing {

inline Bytes ToBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

inline std::string ToText(std::span<const std::uint8_t> bytes) {
  return std::string(bytes.begin(), bytes.end());
}

inline const CryptoPP::RSAFunction& BuiltInPublicKey() {
  static const CryptoPP::RSAFunction key = [] {
    CryptoPP::RSAFunction k;
    std::string error;
    EXPECT_TRUE(LoadBuiltInPublicKey(k, &error)) << error;
    return k;
  }();
  return key;
}

inline Bytes Sign(const Bytes& payload) {
  std::string error;
  auto signer = PackageSigner::Create(&error);
  EXPECT_TRUE(signer) << error;
  return signer ? signer->Sign(payload) : Bytes{};
}

inline Bytes MakePackage(const FileMap& files) { return Sign(PackFiles(files)); }

inline std::span<const std::uint8_t> PayloadOf(const Bytes& package) {
  const std::uint32_t s = ReadUint32(&package[4]);
  return std::span<const std::uint8_t>(package).subspan(SignedPackage::kHeaderBytes + s);
}

inline Bytes ContentOf(const Bytes& package) {
  Bytes content;
  const PackageReadStatus result = DecompressPayload(PayloadOf(package), {}, content);
  EXPECT_TRUE(result.ok()) << result.detail;
  return content;
}

inline std::string ReadTextFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace rigwright::testing
