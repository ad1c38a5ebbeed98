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

Bytes Noise(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  Bytes bytes(size);
  for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(random());
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

// The content from `storedFrom` on is put as incompressible.
Bytes GzipOf(std::span<const std::uint8_t> content, unsigned threads,
             std::size_t storedFrom = SIZE_MAX) {
  Bytes payload;
  ParallelGzip gzip(
      [&](std::span<const std::uint8_t> bytes) {
        payload.insert(payload.end(), bytes.begin(), bytes.end());
        return true;
      },
      {.threads = threads});
  const std::size_t split = std::min(storedFrom, content.size());
  EXPECT_TRUE(gzip.Put(content.first(split)) &&
              gzip.Put(content.subspan(split), ContentKind::kIncompressible) && gzip.Finish());
  return payload;
}

// zlib reads the payload as one gzip member: a chunk left marked final would end the deflate
// stream early, and what follows would fail as its CRC-32 and length.
void ExpectOneMemberOf(const Bytes& payload, const Bytes& content) {
  z_stream z{};
  ASSERT_EQ(inflateInit2(&z, 16 + 15), Z_OK);
  Bytes out(content.size() + 1);
  z.next_in = const_cast<Bytef*>(payload.data());
  z.avail_in = static_cast<uInt>(payload.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END) << (z.msg ? z.msg : "");
  EXPECT_EQ(z.avail_in, 0u) << "bytes after the member";
  out.resize(z.total_out);
  inflateEnd(&z);
  EXPECT_TRUE(out == content);
}

TEST(ParallelGzipTest, AnyThreadCountMakesTheSameSingleDeflateStream) {
  constexpr std::size_t kChunk = kCompressionChunkBytes;
  Bytes text(9 * kChunk + 321);  // few symbols: the blocks end at all kinds of bit positions
  std::mt19937 random(7);
  for (std::uint8_t& byte : text) byte = static_cast<std::uint8_t>('a' + random() % 5);
  const struct {
    const char* name;
    Bytes content;
    std::size_t storedFrom = SIZE_MAX;
  } cases[] = {
      {"empty", {}},
      {"one byte", {42}},
      {"one chunk", NoisyFloats(kChunk, 1)},
      {"a chunk and one byte", NoisyFloats(kChunk + 1, 2)},
      {"incompressible", Noise(3 * kChunk + 17, 3)},
      {"many chunks of floats", NoisyFloats(7 * kChunk + 123, 4)},
      {"many chunks of text", text},
      {"many chunks of zeros", Bytes(5 * kChunk, 0)},
      {"a few bytes before stored ones", Bytes{1, 2, 3, 0, 0, 0}, 3},
      {"a short text before stored bytes", ToBytes(std::string(300, 'a') + "bc" + "!"), 302},
  };
  for (const auto& [name, content, storedFrom] : cases) {
    SCOPED_TRACE(name);
    const Bytes one = GzipOf(content, 1, storedFrom);
    EXPECT_TRUE(GzipOf(content, 2, storedFrom) == one);
    EXPECT_TRUE(GzipOf(content, 4, storedFrom) == one);
    ExpectOneMemberOf(one, content);
  }
}

TEST(ParallelGzipTest, SizeStaysWithinOnePercentOfASingleStreamDeflate) {
  const FileMap files = {{"model.stl", NoisyFloats(12 * kCompressionChunkBytes, 3)}};
  const Bytes payload = Compress(files, 4);
  const Bytes content = InflatedPayload(payload);
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
  EXPECT_EQ(ToText(InflatedPayload(payload)), "head" + std::string(zeros.size(), '\0') + "tail");
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
