// Our packages checked with tools we did not write: the gzip program and OpenSSL.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>

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

// The uncompressed content `files` must give, built here by hand from the record layout.
Bytes ExpectedContent(const FileMap& files) {
  Bytes content;
  for (const auto& [name, data] : files) {
    AppendUint32(content, static_cast<std::uint32_t>(9 + name.size() + data.size()));
    AppendUint32(content, static_cast<std::uint32_t>(name.size()));
    content.insert(content.end(), name.begin(), name.end());
    content.push_back(0);
    content.insert(content.end(), data.begin(), data.end());
  }
  return content;
}

Bytes Noise(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  Bytes bytes(size);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
  return bytes;
}

// Text-like data that compresses, but not to nothing: numbers as an STL file holds them.
Bytes Compressible(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string text;
  while (text.size() < size) text += "vertex " + std::to_string(random() % 100000) + ".5 1.25\n";
  text.resize(size);
  return ToBytes(text);
}

// Inflates a payload with Python's zlib as a gzip member that must fill the whole file, and
// writes what it gives.
constexpr const char* kPythonInflate = R"(
import sys, zlib
data = open(sys.argv[1], 'rb').read()
d = zlib.decompressobj(16 + 15)
out = d.decompress(data) + d.flush()
if not d.eof or d.unused_data:
    sys.exit('not exactly one gzip member')
open(sys.argv[2], 'wb').write(out)
)";

class NewWriterInteropTest : public PackageInteropTest {
 protected:
  // Packs `files` on four threads and checks the result with Python's zlib and OpenSSL.
  void CheckReadElsewhere(const FileMap& files) {
    const Bytes package = Sign(PackFiles(files, {}, kMaxPayloadBytes, {.threads = 4}));
    ASSERT_FALSE(package.empty());
    const std::uint32_t s = ReadUint32(&package[4]);
    WriteFile(dir_.path() / "signature.bin", {&package[12], s});
    WriteFile(dir_.path() / "payload.gz", PayloadOf(package));
    std::ofstream(dir_.path() / "inflate.py") << kPythonInflate;
    ASSERT_EQ(RunShell("python3 " + Quoted("inflate.py") + " " + Quoted("payload.gz") + " " +
                       Quoted("content.bin")),
              0);
    EXPECT_TRUE(ReadTextFile((dir_.path() / "content.bin").string()) ==
                ToText(ExpectedContent(files)))
        << "the content differs from the records";
    const std::string key = "'" RIGWRIGHT_SOURCE_DIR "/data/keys/rigwright-dev-public.pem'";
    EXPECT_EQ(RunShell("openssl dgst -sha1 -verify " + key + " -signature " +
                       Quoted("signature.bin") + " " + Quoted("payload.gz") + " > /dev/null"),
              0);
  }
};

TEST_F(NewWriterInteropTest, EmptyContentAndEmptyFiles) {
  CheckReadElsewhere({});
  CheckReadElsewhere({{"empty.stl", {}}, {"config.json", {}}});
}

TEST_F(NewWriterInteropTest, ContentOfExactlyOneChunkAndOfAChunkAndOneByte) {
  const std::size_t overhead = 9 + 5;  // record fields and the name "a.stl"
  CheckReadElsewhere({{"a.stl", Compressible(kCompressionChunkBytes - overhead, 1)}});
  CheckReadElsewhere({{"a.stl", Compressible(kCompressionChunkBytes - overhead + 1, 2)}});
}

TEST_F(NewWriterInteropTest, ManySmallFiles) {
  FileMap files;
  for (int i = 0; i < 3000; ++i)
    files["part" + std::to_string(i) + ".stl"] = Compressible(i % 700, i);
  CheckReadElsewhere(files);
}

TEST_F(NewWriterInteropTest, IncompressibleFileAmongCompressibleOnes) {
  CheckReadElsewhere({{"a.stl", Compressible(3 * kCompressionChunkBytes / 2, 3)},
                      {"b.bin", Noise(5 * kCompressionChunkBytes / 2 + 7, 4)},
                      {"c.stl", Compressible(kCompressionChunkBytes, 5)}});
}

}  // namespace
}  // namespace rigwright
