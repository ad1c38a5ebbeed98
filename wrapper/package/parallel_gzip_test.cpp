#include "wrapper/package/parallel_gzip.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "wrapper/package/package_test_util.h"

namespace rigwright {
namespace {

using namespace rigwright::testing;

// Floats with noise in their low bits, as a binary STL mesh holds them: they compress to about
// half, like real models.
Bytes NoisyFloats(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; i += 4) {
    const std::uint32_t value = 0x42000000u | (random() % 64u) << 8 | (random() & 0xFFu);
    for (std::size_t j = 0; j < 4 && i + j < size; ++j) {
      bytes[i + j] = static_cast<std::uint8_t>(value >> (8 * j));
    }
  }
  return bytes;
}

Bytes Compress(const FileMap& files, unsigned threads) {
  return PackFiles(files, {}, kMaxPayloadBytes, {.threads = threads});
}

std::size_t SingleStreamDeflateSize(std::span<const std::uint8_t> content) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
  Bytes out(deflateBound(&z, content.size()));
  z.next_in = const_cast<Bytef*>(content.data());
  z.avail_in = static_cast<uInt>(content.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  const std::size_t size = z.total_out;
  deflateEnd(&z);
  return size;
}

TEST(ParallelGzipTest, OneThreadAndManyThreadsMakeTheSameRecords) {
  const FileMap files = {{"a.stl", NoisyFloats(7 * kCompressionChunkBytes + 123, 1)},
                         {"b.stl", NoisyFloats(100, 2)},
                         {"config.json", ToBytes("{}")}};
  const Bytes one = Compress(files, 1);
  const Bytes many = Compress(files, 4);
  ASSERT_FALSE(one.empty());
  EXPECT_TRUE(one == many) << "the chunks do not depend on which thread compressed them";
  const PackageReadResult result = ReadSignedPackage(Sign(many), BuiltInPublicKey());
  ASSERT_TRUE(result.ok()) << result.detail;
  ASSERT_EQ(result.records.size(), 3u);
  EXPECT_EQ(result.records[0].data, files.at("a.stl"));
  EXPECT_EQ(result.records[1].data, files.at("b.stl"));
}

TEST(ParallelGzipTest, SizeStaysWithinOnePercentOfASingleStreamDeflate) {
  const FileMap files = {{"model.stl", NoisyFloats(12 * kCompressionChunkBytes, 3)}};
  const Bytes payload = Compress(files, 4);
  Bytes content;
  ASSERT_TRUE(DecompressPayload(payload, {}, content).ok());
  const std::size_t single = SingleStreamDeflateSize(content) + 18;  // gzip header and trailer
  EXPECT_LT(payload.size(), content.size() * 3 / 4) << "the data must compress for this test";
  EXPECT_LE(payload.size(), single + single / 100);
}

TEST(ParallelGzipTest, IncompressibleContentIsStoredWithoutADeflateAttempt) {
  // Content declared incompressible is stored even though it would compress very well: the
  // payload holds it as it is, plus five bytes per stored block.
  const Bytes zeros(3 * kCompressionChunkBytes, 0);
  Bytes payload;
  ParallelGzip gzip([&](std::span<const std::uint8_t> bytes) {
    payload.insert(payload.end(), bytes.begin(), bytes.end());
    return true;
  });
  ASSERT_TRUE(gzip.Put(ToBytes("head")));
  ASSERT_TRUE(gzip.Put(zeros, ContentKind::kIncompressible));
  ASSERT_TRUE(gzip.Put(ToBytes("tail")));
  ASSERT_TRUE(gzip.Finish());
  EXPECT_GT(payload.size(), zeros.size());
  EXPECT_LT(payload.size(), zeros.size() + zeros.size() / 1000);
  Bytes content;
  ASSERT_TRUE(DecompressPayload(payload, {}, content).ok());
  EXPECT_EQ(ToText(content), "head" + std::string(zeros.size(), '\0') + "tail");
}

// A package written as it is compressed, its head filled in last, is the package made in memory:
// the same payload, and PKCS #1 v1.5 signatures do not vary.
TEST(ParallelGzipTest, APackageWrittenWhileCompressedEqualsTheOneMadeInMemory) {
  const FileMap files = {{"a.stl", NoisyFloats(3 * kCompressionChunkBytes + 5, 5)},
                         {"config.json", ToBytes("{}")}};
  std::string error;
  auto signer = PackageSigner::Create(&error);
  ASSERT_TRUE(signer) << error;
  MemoryOutput output;
  const auto result = WriteSignedPackage(*signer, output, 0, {}, [&](RecordPacker& packer) {
    for (const auto& [name, data] : files) {
      if (!packer.BeginRecord(name, data.size()) || !packer.PutData(data)) return false;
    }
    return true;
  });
  ASSERT_EQ(result, PackageWriteResult::kWritten);
  EXPECT_TRUE(output.bytes == MakePackage(files));

  MemoryOutput small;
  EXPECT_EQ(WriteSignedPackage(
                *signer, small, 0, {},
                [&](RecordPacker& packer) {
                  return packer.BeginRecord("a.stl", files.at("a.stl").size()) &&
                         packer.PutData(files.at("a.stl"));
                },
                64 << 10),
            PackageWriteResult::kTooLarge);
}

TEST(ParallelGzipTest, ASinkThatRefusesStopsTheCompression) {
  int calls = 0;
  ParallelGzip gzip([&](std::span<const std::uint8_t>) { return ++calls < 3; }, {.threads = 2});
  const Bytes data = NoisyFloats(8 * kCompressionChunkBytes, 4);
  EXPECT_FALSE(gzip.Put(data) && gzip.Finish());
  EXPECT_EQ(calls, 3) << "nothing is handed on after the sink said stop";
  EXPECT_FALSE(gzip.Put(ToBytes("more")));
}

}  // namespace
}  // namespace rigwright
