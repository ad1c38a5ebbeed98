// The checks a reader makes: every way a package can be damaged is caught and named.
#include <cryptopp/filters.h>
#include <cryptopp/gzip.h>
#include <gtest/gtest.h>

#include <functional>

#include "wrapper/package/package_stream.h"
#include "wrapper/package/package_test_util.h"

namespace rigwright {
namespace {

using namespace rigwright::testing;

// Counts what a stream reader hands on.
struct CountingSink : RecordSink {
  bool BeginRecord(std::string_view name, std::uint64_t) override {
    names.emplace_back(name);
    return true;
  }
  bool RecordData(std::span<const std::uint8_t> data) override {
    bytes += data.size();
    return true;
  }
  bool EndRecord() override { return true; }
  std::vector<std::string> names;
  std::uint64_t bytes = 0;
};

// What the stream reader finds in `package`, fed in pieces of `piece` bytes.
PackageError StreamErrorOf(const Bytes& package, const CryptoPP::RSAFunction* key,
                           const PackageReadLimits& limits, std::size_t piece) {
  CountingSink sink;
  PackageStreamReader reader(package.size(), key, sink, limits);
  for (std::size_t at = 0; at < package.size(); at += piece) {
    if (!reader.Feed(std::span(package).subspan(at, std::min(piece, package.size() - at)))) break;
  }
  return reader.Finish().error;
}

// The error a reader finds; the stream reader, fed whole or byte by byte, must find the same.
// Without the key it reads records before the gzip trailer's checksum can tell that the data is
// damaged, so a damaged member may show as a broken record rule first.
PackageError ErrorOf(const Bytes& package, const PackageReadLimits& limits = {}) {
  const PackageError error = ReadSignedPackage(package, BuiltInPublicKey(), limits).error;
  EXPECT_EQ(StreamErrorOf(package, &BuiltInPublicKey(), limits, package.size() + 1), error);
  EXPECT_EQ(StreamErrorOf(package, &BuiltInPublicKey(), limits, 1), error);
  const PackageError unverified = ViewPackageUnverified(package, limits).error;
  const PackageError streamed = StreamErrorOf(package, nullptr, limits, 7);
  if (unverified == PackageError::kCorruptCompressedData) {
    EXPECT_NE(streamed, PackageError::kNone);
  } else {
    EXPECT_EQ(streamed, unverified);
  }
  return error;
}

constexpr std::size_t kGzipOsOffset = 9;

// A gzip member of `content` with the format's system byte 0 (the compressor writes its own
// system's code); `prepare` may set optional header fields first.
Bytes Gzip(const Bytes& content, const std::function<void(CryptoPP::Gzip&)>& prepare = {}) {
  Bytes out;
  CryptoPP::Gzip gzip(new CryptoPP::VectorSink(out));
  if (prepare) prepare(gzip);
  gzip.Put(content.data(), content.size());
  gzip.MessageEnd();
  out[kGzipOsOffset] = 0;
  return out;
}

Bytes Record(std::string_view name, std::string_view data) {
  Bytes record;
  AppendUint32(record, static_cast<std::uint32_t>(9 + name.size() + data.size()));
  AppendUint32(record, static_cast<std::uint32_t>(name.size()));
  record.insert(record.end(), name.begin(), name.end());
  record.push_back(0);
  record.insert(record.end(), data.begin(), data.end());
  return record;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// A correctly signed package around content the writer would never produce.
PackageError ErrorOfContent(const Bytes& content) { return ErrorOf(Sign(Gzip(content))); }

class PackageTamperTest : public ::testing::Test {
 protected:
  const Bytes package_ = MakePackage({{"Base.stl", ToBytes("solid-ish bytes")},
                                      {"config.json", ToBytes("{\"MachineDefinition\":{}}")}});
};

TEST_F(PackageTamperTest, IntactPackageReadsBack) {
  const PackageReadResult result = ReadSignedPackage(package_, BuiltInPublicKey());
  ASSERT_TRUE(result.ok()) << result.detail;
  ASSERT_EQ(result.records.size(), 2u);
  EXPECT_EQ(result.records[0].name, "Base.stl");
  EXPECT_EQ(ToText(result.records[1].data), "{\"MachineDefinition\":{}}");
}

TEST(PackageStreamTest, RecordsAreHandedOnAsTheyAreFoundWhateverThePieces) {
  Bytes big(3 * kCompressionChunkBytes + 11);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * i >> 7);
  const Bytes package = MakePackage({{"a", {}}, {"big.stl", big}, {"config.json", ToBytes("{}")}});
  for (const std::size_t piece : {std::size_t{1} << 20, std::size_t{4093}}) {
    CountingSink sink;
    PackageStreamReader reader(package.size(), &BuiltInPublicKey(), sink);
    for (std::size_t at = 0; at < package.size(); at += piece) {
      ASSERT_TRUE(
          reader.Feed(std::span(package).subspan(at, std::min(piece, package.size() - at))));
    }
    const PackageReadStatus status = reader.Finish();
    ASSERT_TRUE(status.ok()) << status.detail;
    EXPECT_EQ(sink.names, (std::vector<std::string>{"a", "big.stl", "config.json"}));
    EXPECT_EQ(sink.bytes, big.size() + 2);
    EXPECT_EQ(reader.contentBytes(), 3 * 9 + 1 + 7 + 11 + big.size() + 2);
  }
}

TEST_F(PackageTamperTest, FlippingAnyByteOfSignatureOrPayloadBreaksTheSignature) {
  for (std::size_t at = SignedPackage::kHeaderBytes; at < package_.size(); ++at) {
    Bytes damaged = package_;
    damaged[at] ^= 0x01;
    ASSERT_EQ(ErrorOf(damaged), PackageError::kBadSignature) << "byte " << at;
  }
}

TEST_F(PackageTamperTest, ChangedHeaderFieldsAreEachNamed) {
  Bytes reserved = package_;
  reserved[3] = 1;
  EXPECT_EQ(ErrorOf(reserved), PackageError::kReservedNotZero);

  Bytes signatureLength = package_;
  WriteUint32(&signatureLength[4], ReadUint32(&package_[4]) - 1);
  EXPECT_EQ(ErrorOf(signatureLength), PackageError::kSignatureLengthMismatch);

  Bytes payloadLength = package_;
  WriteUint32(&payloadLength[8], ReadUint32(&package_[8]) + 1);
  EXPECT_EQ(ErrorOf(payloadLength), PackageError::kLengthMismatch);
}

TEST_F(PackageTamperTest, TruncatedOrExtendedFilesAreRefused) {
  EXPECT_EQ(ErrorOf(Bytes(package_.begin(), package_.end() - 1)), PackageError::kLengthMismatch);
  Bytes longer = package_;
  longer.push_back(0);
  EXPECT_EQ(ErrorOf(longer), PackageError::kLengthMismatch);
  EXPECT_EQ(ErrorOf(Bytes(package_.begin(), package_.begin() + 11)), PackageError::kTooShort);
  EXPECT_EQ(ErrorOf({}), PackageError::kTooShort);
}

TEST(PackageContentTest, PayloadMustBeExactlyOneWholeGzipMember) {
  const Bytes content = Record("a", "x");
  EXPECT_EQ(ErrorOf(Sign(content)), PackageError::kNotGzip);
  const Bytes member = Gzip(content);
  EXPECT_EQ(ErrorOf(Sign(Concat({member, member}))), PackageError::kDataAfterGzipMember);
  EXPECT_EQ(ErrorOf(Sign(Concat({member, {0}}))), PackageError::kDataAfterGzipMember);
  EXPECT_EQ(ErrorOf(Sign(Bytes(member.begin(), member.end() - 3))),
            PackageError::kCorruptCompressedData);
  Bytes badCrc = member;
  badCrc[badCrc.size() - 6] ^= 0xFF;
  EXPECT_EQ(ErrorOf(Sign(badCrc)), PackageError::kCorruptCompressedData);
}

TEST(PackageContentTest, GzipHeaderMustBeTheFixedOne) {
  const Bytes content = Record("a", "x");
  EXPECT_EQ(ErrorOf(Sign(Gzip(content))), PackageError::kNone);
  const Bytes stamped = Gzip(content, [](CryptoPP::Gzip& gzip) { gzip.SetFiletime(1700000000); });
  const Bytes named = Gzip(content, [](CryptoPP::Gzip& gzip) { gzip.SetFilename("content.bin"); });
  Bytes otherSystem = Gzip(content);
  otherSystem[kGzipOsOffset] = 3;
  Bytes extraFlags = Gzip(content);
  extraFlags[8] = 2;
  for (const Bytes& member : {stamped, named, otherSystem, extraFlags}) {
    EXPECT_EQ(ErrorOf(Sign(member)), PackageError::kUnexpectedGzipHeader);
  }
  const PackageReadResult result = ReadSignedPackage(Sign(extraFlags), BuiltInPublicKey());
  EXPECT_NE(result.detail.find("byte 8 (extra flags)"), std::string::npos) << result.detail;
}

TEST(PackageContentTest, ContentIsAllocatedOnceToTheStatedLength) {
  const Bytes package = MakePackage({{"zeros.bin", Bytes(3 << 20, 0)}});
  const PackageView view = ViewSignedPackage(package, BuiltInPublicKey());
  ASSERT_TRUE(view.ok()) << view.detail;
  EXPECT_EQ(view.content.size(), (3u << 20) + 9 + 9);
  EXPECT_EQ(view.content.capacity(), view.content.size());

  // A trailer that understates or overstates the content is damage.
  const auto payload = PayloadOf(package);
  Bytes understated(payload.begin(), payload.end());
  WriteUint32(&understated[understated.size() - 4], 1000);
  EXPECT_EQ(ErrorOf(Sign(understated)), PackageError::kCorruptCompressedData);
  Bytes overstated = Gzip(Record("a", "x"));
  WriteUint32(&overstated[overstated.size() - 4], 0xFFFFFF00);
  EXPECT_EQ(ErrorOf(Sign(overstated)), PackageError::kCorruptCompressedData);
}

TEST(PackageContentTest, ViewsPointIntoTheOneContent) {
  const Bytes package = MakePackage({{"a.stl", ToBytes("solid a")}, {"b.stl", ToBytes("")}});
  PackageView moved = ViewSignedPackage(package, BuiltInPublicKey());
  const PackageView view = std::move(moved);
  ASSERT_TRUE(view.ok()) << view.detail;
  ASSERT_EQ(view.records.size(), 2u);
  EXPECT_EQ(view.records[0].name, "a.stl");
  EXPECT_EQ(ToText(view.records[0].data), "solid a");
  EXPECT_TRUE(view.records[1].data.empty());
  const auto* begin = view.content.data();
  EXPECT_TRUE(view.records[0].data.data() >= begin &&
              view.records[0].data.data() + 7 <= begin + view.content.size());
}

TEST(PackageContentTest, RecordsMustExactlyFillTheContent) {
  EXPECT_EQ(ErrorOfContent(Concat({Record("a", "x"), {1, 0, 0}})), PackageError::kTruncatedRecord);
  Bytes tooLong = Record("a", "xyz");
  WriteUint32(&tooLong[0], 100);
  EXPECT_EQ(ErrorOfContent(tooLong), PackageError::kTruncatedRecord);
  Bytes tooShort = Record("abc", "");
  WriteUint32(&tooShort[0], 9 + 2);
  EXPECT_EQ(ErrorOfContent(tooShort), PackageError::kBadRecordLength);
  Bytes noNul = Record("abc", "data");
  noNul[8 + 3] = 'X';
  EXPECT_EQ(ErrorOfContent(noNul), PackageError::kNameNotTerminated);
}

TEST(PackageContentTest, NamesLongerThanAnyPathAreRefusedBeforeTheyAreRead) {
  const std::string longest(FileRecord::kMaxNameBytes, 'n');
  EXPECT_EQ(ErrorOfContent(Record(longest, "")), PackageError::kNone);
  EXPECT_EQ(ErrorOfContent(Record(longest + "n", "")), PackageError::kNameTooLong);
  // The two lengths alone tell: a 256 MiB name is refused before any of it is needed.
  Bytes lengthsOnly;
  AppendUint32(lengthsOnly, 9 + (1u << 28));
  AppendUint32(lengthsOnly, 1u << 28);
  EXPECT_EQ(ErrorOfContent(lengthsOnly), PackageError::kNameTooLong);
}

TEST(PackageContentTest, NamesMustStrictlyAscendByBytes) {
  EXPECT_EQ(ErrorOfContent(Concat({Record("config.json", ""), Record("Base.stl", "")})),
            PackageError::kNamesNotAscending);
  EXPECT_EQ(ErrorOfContent(Concat({Record("a", "1"), Record("a", "2")})),
            PackageError::kNamesNotAscending);
  EXPECT_EQ(ErrorOfContent(Concat({Record("ab", ""), Record("a", "")})),
            PackageError::kNamesNotAscending);
  EXPECT_EQ(ErrorOfContent(Concat({Record("a", ""), Record("ab", "")})), PackageError::kNone);
}

TEST(PackageContentTest, DecompressedSizeIsCapped) {
  const Bytes package = MakePackage({{"zeros.bin", Bytes(1 << 20, 0)}});
  EXPECT_EQ(ErrorOf(package, {.maxContentBytes = 1 << 16}), PackageError::kContentTooLarge);
  EXPECT_EQ(ErrorOf(package, {.maxContentBytes = 2 << 20}), PackageError::kNone);
}

TEST(PackageContentTest, EveryErrorHasItsOwnName) {
  std::set<std::string_view> names;
  for (int e = 0; e <= static_cast<int>(PackageError::kNameTooLong); ++e) {
    names.insert(PackageErrorName(static_cast<PackageError>(e)));
  }
  EXPECT_EQ(names.size(), static_cast<std::size_t>(PackageError::kNameTooLong) + 1);
}

std::vector<RecordView> Views(const std::vector<std::string>& names) {
  std::vector<RecordView> views;
  for (const std::string& name : names) views.push_back({name, {}});
  return views;
}

TEST(NestedPackagesTest, OnlyTheMachineStemsPairIsNested) {
  const std::vector<std::string> plain = {"B2.pst", "Mill.OrvaneSim", "Mill.OrvaneSimCfg"};
  const auto found = FindNestedPackages(Views(plain));
  ASSERT_TRUE(found);
  EXPECT_EQ(found->machine, 1u);
  EXPECT_EQ(found->configuration, 2u);
  // Post files named like packages are data, wherever they sort.
  for (const char* post : {"foo.OrvaneSimCfg", "foo.OrvaneSim", "foo.OrvaneSimBundle",
                           "zz.OrvaneSim", "Mill.OrvaneSimBundle", "Mill.OrvaneSimCfgX"}) {
    std::vector<std::string> names = {"Mill.OrvaneSim", "Mill.OrvaneSimCfg", post};
    std::sort(names.begin(), names.end());
    const auto withPost = FindNestedPackages(Views(names));
    ASSERT_TRUE(withPost) << post;
    EXPECT_EQ(names[withPost->machine], "Mill.OrvaneSim") << post;
    EXPECT_EQ(names[withPost->configuration], "Mill.OrvaneSimCfg") << post;
  }
  const std::vector<std::string> stemWithDots = {"a.OrvaneSim.OrvaneSim",
                                                 "a.OrvaneSim.OrvaneSimCfg", "a.OrvaneSimCfg"};
  ASSERT_TRUE(FindNestedPackages(Views(stemWithDots)));
  EXPECT_EQ(FindNestedPackages(Views(stemWithDots))->machine, 0u);
}

TEST(NestedPackagesTest, NoPairOrTwoPairsMeansEveryRecordIsData) {
  EXPECT_FALSE(FindNestedPackages(Views({})));
  EXPECT_FALSE(FindNestedPackages(Views({"config.json", "x.OrvaneSim"})));
  EXPECT_FALSE(FindNestedPackages(Views({"x.OrvaneSimCfg"})));
  EXPECT_FALSE(FindNestedPackages(
      Views({"A.OrvaneSim", "A.OrvaneSimCfg", "B.OrvaneSim", "B.OrvaneSimCfg"})));
}

TEST(PrintableNameTest, ControlCharactersAndStrayBytesAreEscaped) {
  EXPECT_EQ(PrintableName("models/\xC3\xA4 \xE2\x82\xAC.stl"), "models/\xC3\xA4 \xE2\x82\xAC.stl");
  EXPECT_EQ(PrintableName("a\nb\tc\x1B[2J\x7F"), "a\\x0Ab\\x09c\\x1B[2J\\x7F");
  EXPECT_EQ(PrintableName(std::string_view("a\0b", 3)), "a\\x00b");
  EXPECT_EQ(PrintableName("a\\b"), "a\\\\b");
  EXPECT_EQ(PrintableName("\xC2\x9B"
                          "1m"),
            "\\xC2\\x9B"
            "1m")
      << "C1 control";
  EXPECT_EQ(PrintableName("\xFF\xC3"), "\\xFF\\xC3") << "not UTF-8";
  EXPECT_EQ(PrintableName("\xED\xA0\x80"), "\\xED\\xA0\\x80") << "a surrogate is not UTF-8";
}

TEST(RelativePathTest, UnsafeNamesAreRecognised) {
  for (const char* name : {"", "/etc/passwd", "\\share\\x", "C:\\x.stl", "c:x", "..", "../x",
                           "a/../../x", "a\\..\\x", "a/.."}) {
    EXPECT_TRUE(UnsafeRelativePathReason(name, true)) << name;
  }
  EXPECT_TRUE(UnsafeRelativePathReason("models\\a.stl", false));
  EXPECT_TRUE(UnsafeRelativePathReason(std::string_view("a\0b", 3), true));
  for (const char* name : {"a.stl", "models/a.stl", "..a/b..", "./a", "x..y"}) {
    EXPECT_FALSE(UnsafeRelativePathReason(name, false)) << name;
  }
  EXPECT_FALSE(UnsafeRelativePathReason("models\\a.stl", true));
}

TEST(PublicKeyPemTest, RejectsTextThatIsNotAPublicKey) {
  CryptoPP::RSAFunction key;
  std::string error;
  EXPECT_FALSE(LoadPublicKeyPem("hello", key, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(LoadPublicKeyPem("-----BEGIN PUBLIC KEY-----\nAAAA\n-----END PUBLIC KEY-----\n",
                                key, &error));
  EXPECT_NE(error.find("not an RSA public key"), std::string::npos) << error;
}

}  // namespace
}  // namespace rigwright
