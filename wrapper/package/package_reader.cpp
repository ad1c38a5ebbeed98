#include "wrapper/package/package_reader.h"

#include <cryptopp/base64.h>
#include <cryptopp/filters.h>
#include <cryptopp/rsa.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "common/path_text.h"
#include "wrapper/package/package_stream.h"

namespace rigwright {
namespace {

// The deflate format cannot expand data by more than this: at best a 258-byte match costs two
// bits. It bounds what a payload can inflate to, whatever its trailer says.
constexpr std::uint64_t kMaxDeflateRatio = 1032;

// The fixed header of every payload: deflate, no flags, no time stamp, no extra flags, OS 0.
constexpr std::uint8_t kGzipHeader[] = {0x1F, 0x8B, 0x08, 0, 0, 0, 0, 0, 0, 0};
constexpr std::size_t kGzipTrailerBytes = 8;  // CRC-32, then the content length modulo 2^32

template <typename Result = PackageReadStatus>
Result Failure(PackageError error, std::string detail) {
  Result result;
  result.error = error;
  result.detail = std::move(detail);
  return result;
}

}  // namespace

std::string_view PackageErrorName(PackageError error) {
  switch (error) {
    case PackageError::kNone: return "ok";
    case PackageError::kTooShort: return "too-short";
    case PackageError::kReservedNotZero: return "reserved-not-zero";
    case PackageError::kSignatureLengthMismatch: return "signature-length-mismatch";
    case PackageError::kLengthMismatch: return "length-mismatch";
    case PackageError::kBadSignature: return "bad-signature";
    case PackageError::kNotGzip: return "not-gzip";
    case PackageError::kUnexpectedGzipHeader:
      return "unexpected-gzip-header";
    case PackageError::kCorruptCompressedData: return "corrupt-compressed-data";
    case PackageError::kDataAfterGzipMember: return "data-after-gzip-member";
    case PackageError::kContentTooLarge: return "content-too-large";
    case PackageError::kTruncatedRecord: return "truncated-record";
    case PackageError::kBadRecordLength: return "bad-record-length";
    case PackageError::kNameNotTerminated: return "name-not-terminated";
    case PackageError::kNamesNotAscending: return "names-not-ascending";
    case PackageError::kNameTooLong: return "name-too-long";
  }
  return "unknown";
}

namespace {

const char* GzipHeaderField(std::size_t offset) {
  if (offset == 3) return "flags";
  if (offset < 8) return "modification time";
  if (offset == 8) return "extra flags";
  return "operating system";
}

}  // namespace

std::string NameTooLong(std::uint64_t nameBytes) {
  return "a name of " + std::to_string(nameBytes) + " bytes, longer than the " +
         std::to_string(FileRecord::kMaxNameBytes) + " that any path can have";
}

PackageReadStatus CheckGzipHeader(std::span<const std::uint8_t> payload,
                                  std::uint64_t payloadBytes) {
  if (payload.size() < 3 || !std::equal(kGzipHeader, kGzipHeader + 3, payload.begin())) {
    return Failure(PackageError::kNotGzip, "the payload does not begin with a gzip header");
  }
  if (payloadBytes < sizeof kGzipHeader + kGzipTrailerBytes) {
    return Failure(PackageError::kCorruptCompressedData, "the gzip member is cut short");
  }
  for (std::size_t at = 3; at < sizeof kGzipHeader; ++at) {
    if (payload[at] != kGzipHeader[at]) {
      return Failure(PackageError::kUnexpectedGzipHeader,
                     "gzip header byte " + std::to_string(at) + " (" + GzipHeaderField(at) +
                         ") is " + std::to_string(payload[at]) +
                         ", not 0: a package's gzip header is 1F 8B 08 00 00 00 00 00 00 00");
    }
  }
  return {};
}

namespace {

// Keeps what the stream reader finds as the content it was packed as, in one buffer set aside
// once at the length the gzip trailer states (no more than the deflate data can produce or the
// limit allows), and the records as places in it.
class ContentSink : public RecordSink {
 public:
  explicit ContentSink(Bytes& content) : content_(content) {}

  bool BeginRecord(std::string_view name, std::uint64_t dataBytes) override {
    AppendUint32(content_,
                 static_cast<std::uint32_t>(FileRecord::kOverheadBytes + name.size() + dataBytes));
    AppendUint32(content_, static_cast<std::uint32_t>(name.size()));
    const std::size_t nameAt = content_.size();
    content_.insert(content_.end(), name.begin(), name.end());
    content_.push_back(0);
    places_.push_back({nameAt, name.size(), content_.size(), static_cast<std::size_t>(dataBytes)});
    return true;
  }
  bool RecordData(std::span<const std::uint8_t> data) override {
    content_.insert(content_.end(), data.begin(), data.end());
    return true;
  }
  bool EndRecord() override { return true; }

  // The records, once the content no longer moves.
  std::vector<RecordView> Records() const {
    std::vector<RecordView> records;
    records.reserve(places_.size());
    for (const Place& place : places_) {
      records.push_back(
          {std::string_view(reinterpret_cast<const char*>(content_.data()) + place.name,
                            place.nameBytes),
           std::span<const std::uint8_t>(content_.data() + place.data, place.dataBytes)});
    }
    return records;
  }

 private:
  struct Place {
    std::size_t name, nameBytes, data, dataBytes;
  };
  Bytes& content_;
  std::vector<Place> places_;
};

// Reads a package held in memory through the stream reader, as one piece.
PackageView ReadPackage(std::span<const std::uint8_t> file, const CryptoPP::RSAFunction* publicKey,
                        const PackageReadLimits& limits) {
  PackageView view;
  if (file.size() >= SignedPackage::kHeaderBytes + kGzipTrailerBytes) {
    const std::uint64_t stated = ReadUint32(&file[file.size() - 4]);
    view.content.reserve(static_cast<std::size_t>(
        std::min({stated, file.size() * kMaxDeflateRatio, limits.maxContentBytes})));
  }
  ContentSink sink(view.content);
  PackageStreamReader reader(file.size(), publicKey, sink, limits);
  reader.Feed(file);
  static_cast<PackageReadStatus&>(view) = reader.Finish();
  if (view.ok()) {
    view.records = sink.Records();
  } else {
    view.content = {};
  }
  return view;
}

}  // namespace

PackageView ViewSignedPackage(std::span<const std::uint8_t> file,
                              const CryptoPP::RSAFunction& publicKey,
                              const PackageReadLimits& limits) {
  return ReadPackage(file, &publicKey, limits);
}

PackageView ViewPackageUnverified(std::span<const std::uint8_t> file,
                                  const PackageReadLimits& limits) {
  return ReadPackage(file, nullptr, limits);
}

PackageReadResult ReadSignedPackage(std::span<const std::uint8_t> file,
                                    const CryptoPP::RSAFunction& publicKey,
                                    const PackageReadLimits& limits) {
  const PackageView view = ViewSignedPackage(file, publicKey, limits);
  PackageReadResult result;
  static_cast<PackageReadStatus&>(result) = view;
  for (const RecordView& record : view.records) {
    result.records.push_back(
        {std::string(record.name), Bytes(record.data.begin(), record.data.end())});
  }
  return result;
}

bool LoadPublicKeyPem(std::string_view pem, CryptoPP::RSAFunction& key, std::string* error) {
  constexpr std::string_view kBegin = "-----BEGIN PUBLIC KEY-----";
  constexpr std::string_view kEnd = "-----END PUBLIC KEY-----";
  const size_t from = pem.find(kBegin);
  const size_t to = pem.find(kEnd);
  if (from == std::string_view::npos || to == std::string_view::npos || to < from) {
    *error = "not a PEM public key (no \"-----BEGIN PUBLIC KEY-----\" block)";
    return false;
  }
  const std::string base64(pem.substr(from + kBegin.size(), to - from - kBegin.size()));
  try {
    std::string der;
    CryptoPP::StringSource(base64, true, new CryptoPP::Base64Decoder(new CryptoPP::StringSink(der)));
    CryptoPP::StringSource source(der, true);
    key.Load(source);
    return true;
  } catch (const CryptoPP::Exception& e) {
    *error = std::string("not an RSA public key: ") + e.what();
    return false;
  }
}

std::optional<NestedPackages> FindNestedPackages(std::span<const RecordView> records) {
  return FindNestedPackages(records.size(),
                            [&](std::size_t index) { return records[index].name; });
}

std::optional<NestedPackages> FindNestedPackages(
    std::size_t count, const std::function<std::string_view(std::size_t)>& nameAt) {
  constexpr std::string_view kMachine = ".OrvaneSim";
  constexpr std::string_view kConfiguration = "Cfg";
  std::optional<NestedPackages> found;
  for (std::size_t i = 0; i < count; ++i) {
    if (!nameAt(i).ends_with(kMachine)) continue;
    const std::string configuration = std::string(nameAt(i)) + std::string(kConfiguration);
    // Names ascend strictly, so the partner is found by halving.
    std::size_t low = i + 1, high = count;
    while (low < high) {
      const std::size_t middle = low + (high - low) / 2;
      if (nameAt(middle) < configuration) {
        low = middle + 1;
      } else {
        high = middle;
      }
    }
    if (low == count || nameAt(low) != configuration) continue;
    if (found) return std::nullopt;
    found = NestedPackages{i, low};
  }
  return found;
}

namespace {

bool IsControlCharacter(std::string_view character) {
  const unsigned char lead = static_cast<unsigned char>(character[0]);
  if (character.size() == 1) return lead < 0x20 || lead == 0x7F;
  // U+0080 to U+009F: the C1 controls, which some terminals obey.
  return character.size() == 2 && lead == 0xC2 && static_cast<unsigned char>(character[1]) < 0xA0;
}

void AppendEscaped(std::string& out, std::string_view bytes) {
  constexpr char kHex[] = "0123456789ABCDEF";
  for (const char c : bytes) {
    const unsigned char byte = static_cast<unsigned char>(c);
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 0xF];
  }
}

}  // namespace

std::string PrintableName(std::string_view name) {
  std::string out;
  while (!name.empty()) {
    const std::size_t length = Utf8CharacterLength(name);
    const std::string_view character = name.substr(0, std::max<std::size_t>(length, 1));
    if (character == "\\") {
      out += "\\\\";
    } else if (length == 0 || IsControlCharacter(character)) {
      AppendEscaped(out, character);
    } else {
      out += character;
    }
    name.remove_prefix(character.size());
  }
  return out;
}

std::optional<std::string> UnsafeRelativePathReason(std::string_view name, bool allowBackslash) {
  if (name.empty()) return "the name is empty";
  if (name.find('\0') != std::string_view::npos) return "the name contains a NUL byte";
  if (!allowBackslash && name.find('\\') != std::string_view::npos) {
    return "the name contains a backslash";
  }
  const bool driveLetter = name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) &&
                           name[1] == ':';
  if (name[0] == '/' || name[0] == '\\' || driveLetter) return "the name is an absolute path";
  size_t start = 0;
  while (start <= name.size()) {
    const size_t end = std::min(name.find_first_of("/\\", start), name.size());
    if (name.substr(start, end - start) == "..") return "the name has a \"..\" component";
    start = end + 1;
  }
  return std::nullopt;
}

}  // namespace rigwright
