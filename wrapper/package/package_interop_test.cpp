// Our packages checked with tools we did not write: the gzip program and OpenSSL.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "common/testing/test_folder.h"
#include "wrapper/package/package_test_util.h"

namespace rigwright {
namespace {

using namespace rigwright::testing;

void WriteFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

int RunShell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class PackageInteropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    package_ = MakePackage({{"Base.stl", Bytes(5000, 7)}, {"config.json", ToBytes("{}")}});
    const std::uint32_t s = ReadUint32(&package_[4]);
    WriteFile(dir_.path() / "signature.bin", {&package_[12], s});
    WriteFile(dir_.path() / "payload.gz", PayloadOf(package_));
  }
  std::string Quoted(const char* name) const { return "'" + (dir_.path() / name).string() + "'"; }

  TestFolder dir_;
  Bytes package_;
};

TEST_F(PackageInteropTest, PayloadDecompressesWithTheGzipProgram) {
  ASSERT_EQ(RunShell("gzip -dc " + Quoted("payload.gz") + " > " + Quoted("content.bin")), 0);
  EXPECT_EQ(ReadTextFile((dir_.path() / "content.bin").string()), ToText(ContentOf(package_)));
  ASSERT_EQ(RunShell("gzip -t " + Quoted("payload.gz")), 0);
}

TEST_F(PackageInteropTest, SignatureVerifiesWithOpenSslAndTheShippedPublicKey) {
  const std::string key = "'" RIGWRIGHT_SOURCE_DIR "/data/keys/rigwright-dev-public.pem'";
  const std::string verify = "openssl dgst -sha1 -verify " + key + " -signature " +
                             Quoted("signature.bin") + " ";
  EXPECT_EQ(RunShell(verify + Quoted("payload.gz") + " > /dev/null"), 0);

  Bytes changed(PayloadOf(package_).begin(), PayloadOf(package_).end());
  changed[changed.size() / 2] ^= 0x40;
  WriteFile(dir_.path() / "changed.gz", changed);
  EXPECT_NE(RunShell(verify + Quoted("changed.gz") + " > /dev/null 2>&1"), 0);
}

}  // namespace
}  // namespace rigwright
