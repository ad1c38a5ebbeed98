// The byte layout of signed packages, as the simulator reads them.
#include <cryptopp/osrng.h>
#include <cryptopp/rsa.h>
#include <gtest/gtest.h>

#include <random>

#include "wrapper/package/package_test_util.h"
#include "wrapper/package/signing_key_internal.h"

namespace rigwright {
namespace {

using namespace rigwright::testing;

std::vector<std::string> RecordNames(const Bytes& package) {
  const PackageView view = ViewSignedPackage(package, BuiltInPublicKey());
  EXPECT_TRUE(view.ok()) << view.detail;
  std::vector<std::string> names;
  for (const RecordView& record : view.records) names.emplace_back(record.name);
  return names;
}

TEST(PackageFormatTest, HeaderFieldsAgreeWithTheFileAndTheKey) {
  const Bytes package = MakePackage({{"config.json", ToBytes("{}\n")}});
  ASSERT_GT(package.size(), SignedPackage::kHeaderBytes);
  const std::uint32_t s = ReadUint32(&package[4]);
  const std::uint32_t n = ReadUint32(&package[8]);
  EXPECT_EQ(ReadUint32(&package[0]), 0u);
  EXPECT_EQ(s, BuiltInPublicKey().GetModulus().ByteCount());
  EXPECT_GE(s, 384u) << "keys are 3072 bits or more";
  EXPECT_EQ(package.size(), 12u + s + n);
}

TEST(PackageFormatTest, PayloadIsOneGzipMemberWithTheFixedHeader) {
  const Bytes package = MakePackage({{"config.json", ToBytes("{}")}});
  const auto payload = PayloadOf(package);
  const Bytes expected = {0x1F, 0x8B, 0x08, 0, 0, 0, 0, 0, 0, 0};
  ASSERT_GE(payload.size(), 18u);
  EXPECT_EQ(Bytes(payload.begin(), payload.begin() + 10), expected);
  // The trailer holds the content's length, little-endian.
  EXPECT_EQ(ReadUint32(&payload[payload.size() - 4]), 9u + 11u + 2u);
}

TEST(PackageFormatTest, ConfigurationRecordLayout) {
  const std::string document = "{\n   \"MachineDefinition\" : {}\n}\n";
  const Bytes content = ContentOf(MakePackage({{"config.json", ToBytes(document)}}));
  ASSERT_EQ(content.size(), 20u + document.size());
  EXPECT_EQ(ReadUint32(&content[0]), 20u + document.size());
  EXPECT_EQ(ReadUint32(&content[4]), 11u);
  EXPECT_EQ(ToText({&content[8], 12}), std::string("config.json\0", 12));
  EXPECT_EQ(ToText({&content[20], document.size()}), document);
}

TEST(PackageFormatTest, RecordsStandInByteWiseNameOrder) {
  FileMap files;
  for (const char* name : {"config.json", "models/z.stl", "Mill.OrvaneSimCfg", "Mill.OrvaneSim",
                           "7axis.stl", "Base.stl", "a2.pst", "\xC3\xA4.stl"}) {
    files[name] = ToBytes(name);
  }
  EXPECT_EQ(RecordNames(MakePackage(files)),
            (std::vector<std::string>{"7axis.stl", "Base.stl", "Mill.OrvaneSim",
                                      "Mill.OrvaneSimCfg", "a2.pst", "config.json", "models/z.stl",
                                      "\xC3\xA4.stl"}));
}

TEST(PackageFormatTest, EmptyFileAndNonAsciiNameAreCountedInBytes) {
  const std::string name = "Fr\xC3\xA4s.stl";  // 8 characters, 9 bytes
  const Bytes content = ContentOf(MakePackage({{name, {}}}));
  ASSERT_EQ(content.size(), 9u + 9u);
  EXPECT_EQ(ReadUint32(&content[0]), 9u + 9u) << "L = 9 + n with no data";
  EXPECT_EQ(ReadUint32(&content[4]), 9u);
  EXPECT_EQ(ToText({&content[8], 9}), name);
  EXPECT_EQ(content[17], 0);
}

TEST(PackageFormatTest, EmptyMapGivesAValidPackageWithEmptyContent) {
  const Bytes package = MakePackage({});
  const PackageReadResult result = ReadSignedPackage(package, BuiltInPublicKey());
  ASSERT_TRUE(result.ok()) << result.detail;
  EXPECT_TRUE(result.records.empty());
}

TEST(PackageFormatTest, IncompressibleDataIsStoredWithoutGrowingMuch) {
  std::mt19937 random(7);
  Bytes noise(1 << 20);
  for (auto& byte : noise) byte = static_cast<std::uint8_t>(random());
  const Bytes payload = PackFiles({{"noise.bin", noise}});
  EXPECT_LT(payload.size(), noise.size() + noise.size() / 100);
  const PackageReadResult result = ReadSignedPackage(Sign(payload), BuiltInPublicKey());
  ASSERT_TRUE(result.ok()) << result.detail;
  EXPECT_EQ(result.records.at(0).data, noise);
}

TEST(PackageFormatTest, PayloadThatWouldReachTheLimitIsRefused) {
  std::mt19937 random(3);
  Bytes noise(64 * 1024);
  for (auto& byte : noise) byte = static_cast<std::uint8_t>(random());
  EXPECT_TRUE(PackFiles({{"a", noise}}, {}, 4096).empty());
  EXPECT_FALSE(PackFiles({{"a", noise}}, {}, 1 << 20).empty());
  // Nor is a name longer than any path, which readers refuse.
  EXPECT_TRUE(PackFiles({{std::string(FileRecord::kMaxNameBytes + 1, 'n'), {}}}).empty());
  EXPECT_FALSE(PackFiles({{std::string(FileRecord::kMaxNameBytes, 'n'), {}}}).empty());
}

TEST(PackageFormatTest, ProgressEndsAtTheWholeContent) {
  std::uint64_t lastDone = 0, lastTotal = 0;
  int calls = 0;
  PackFiles({{"a.stl", Bytes(3 << 20, 1)}, {"config.json", ToBytes("{}")}},
            [&](std::uint64_t done, std::uint64_t total) {
              EXPECT_GE(done, lastDone);
              lastDone = done;
              lastTotal = total;
              ++calls;
              return true;
            });
  EXPECT_GE(calls, 3);
  EXPECT_EQ(lastDone, lastTotal);
  EXPECT_EQ(lastTotal, (9u + 5u + (3u << 20)) + (9u + 11u + 2u));

  int callsUntilStopped = 0;
  EXPECT_TRUE(PackFiles({{"a.stl", Bytes(3 << 20, 1)}}, [&](std::uint64_t, std::uint64_t) {
                return ++callsUntilStopped < 2;
              }).empty());
  EXPECT_EQ(callsUntilStopped, 2) << "compression stops at the slice where it was told to";
}

TEST(SigningKeyTest, BuiltInKeyIsAValidRsaKeyMatchingTheShippedPublicKey) {
  CryptoPP::InvertibleRSAFunction key;
  std::string error;
  ASSERT_TRUE(LoadSigningKey(key, &error)) << error;
  CryptoPP::AutoSeededRandomPool rng;
  EXPECT_TRUE(key.Validate(rng, 1));
  EXPECT_GE(key.GetModulus().BitCount(), 3072u);

  CryptoPP::RSAFunction shipped;
  const std::string pem =
      ReadTextFile(RIGWRIGHT_SOURCE_DIR "/data/keys/rigwright-dev-public.pem");
  ASSERT_TRUE(LoadPublicKeyPem(pem, shipped, &error)) << error;
  if (shipped.GetModulus() != key.GetModulus()) {
    GTEST_SKIP() << "built with a signing key other than the development key";
  }
  EXPECT_EQ(shipped.GetPublicExponent(), key.GetPublicExponent());
}

TEST(SigningKeyTest, UndecodableKeyIsAFailureNotAnException) {
  CryptoPP::InvertibleRSAFunction key;
  std::string error;
  const Bytes garbage = ToBytes("not a key at all");
  EXPECT_FALSE(LoadSigningKeyFrom(garbage, key, &error));
  EXPECT_NE(error.find("cannot be decoded"), std::string::npos) << error;
}

}  // namespace
}  // namespace rigwright
