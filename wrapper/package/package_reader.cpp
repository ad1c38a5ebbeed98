#include "wrapper/package/package_reader.h"

#include <cryptopp/base64.h>
#include <cryptopp/filters.h>
#include <cryptopp/rsa.h>
#include <cryptopp/sha.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "common/path_text.h"

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

std::size_t ModulusBytes(const CryptoPP::RSAFunction& key) {
  return key.GetModulus().ByteCount();
}

bool VerifySignature(std::span<const std::uint8_t> signature,
                     std::span<const std::uint8_t> payload, const CryptoPP::RSAFunction& key) {
  CryptoPP::RSASS<CryptoPP::PKCS1v15, CryptoPP::SHA1>::Verifier verifier(key);
  return verifier.VerifyMessage(payload.data(), payload.size(), signature.data(), signature.size());
}

class Inflater {
 public:
  Inflater() { ok_ = inflateInit2(&stream_, 16 + MAX_WBITS) == Z_OK; }
  ~Inflater() {
    if (ok_) inflateEnd(&stream_);
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  bool ok() const { return ok_; }
  z_stream& stream() { return stream_; }

 private:
  z_stream stream_{};
  bool ok_ = false;
};

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

// The content length the trailer states, but no more than the deflate data can produce or the
// limit allows: the one allocation a valid member needs.
std::uint64_t ContentAllocation(std::span<const std::uint8_t> payload,
                                const PackageReadLimits& limits) {
  const std::uint64_t stated = ReadUint32(&payload[payload.size() - 4]);
  return std::min({stated, payload.size() * kMaxDeflateRatio, limits.maxContentBytes});
}

PackageReadStatus InflateFailure(int status, const z_stream& z) {
  if (status == Z_BUF_ERROR) {
    return Failure(PackageError::kCorruptCompressedData, "the gzip member is cut short");
  }
  return Failure(PackageError::kCorruptCompressedData,
                 std::string("damaged gzip data: ") + (z.msg ? z.msg : "inflate failed"));
}

}  // namespace

PackageReadStatus DecompressPayload(std::span<const std::uint8_t> payload,
                                    const PackageReadLimits& limits, Bytes& content) {
  content.clear();
  if (PackageReadStatus header = CheckGzipHeader(payload, payload.size()); !header.ok()) {
    return header;
  }
  const std::uint64_t stated = ReadUint32(&payload[payload.size() - 4]);
  // Unless the limit admits content of 4 GiB and more, the trailer states the whole length.
  const bool statedIsWhole = limits.maxContentBytes < stated + (std::uint64_t{1} << 32);
  content.reserve(ContentAllocation(payload, limits));
  Inflater inflater;
  if (!inflater.ok()) return Failure(PackageError::kCorruptCompressedData, "cannot start inflating");
  z_stream& z = inflater.stream();
  z.next_in = const_cast<Bytef*>(payload.data());
  z.avail_in = 0;
  std::size_t fed = 0;
  std::uint8_t chunk[1 << 16];
  std::uint64_t total = 0;
  int status = Z_OK;
  while (status != Z_STREAM_END) {
    if (z.avail_in == 0 && fed < payload.size()) {
      z.avail_in = static_cast<uInt>(std::min<std::size_t>(payload.size() - fed, 1u << 30));
      fed += z.avail_in;
    }
    z.next_out = chunk;
    z.avail_out = sizeof chunk;
    status = inflate(&z, Z_NO_FLUSH);
    if (status != Z_OK && status != Z_STREAM_END) return InflateFailure(status, z);
    const std::size_t produced = sizeof chunk - z.avail_out;
    total += produced;
    if (total > limits.maxContentBytes) {
      return Failure(PackageError::kContentTooLarge,
                     "the content is larger than " + std::to_string(limits.maxContentBytes) +
                         " bytes");
    }
    // Content past the stated length cannot be valid, but is inflated on without keeping it, to
    // tell which rule the payload breaks; so the buffer keeps its one allocation.
    if (!statedIsWhole || total <= stated) content.insert(content.end(), chunk, chunk + produced);
  }
  const std::size_t left = z.avail_in + (payload.size() - fed);
  if (left != 0) {
    return Failure(PackageError::kDataAfterGzipMember,
                   std::to_string(left) + " bytes follow the gzip member");
  }
  if (statedIsWhole && total != stated) {
    return Failure(PackageError::kCorruptCompressedData, "the content is " + std::to_string(total) +
                                                             " bytes, the gzip trailer states " +
                                                             std::to_string(stated));
  }
  return {};
}

PackageView ParsePackageContent(Bytes content) {
  PackageView view;
  view.content = std::move(content);
  const std::span<const std::uint8_t> all(view.content);
  std::size_t at = 0;
  while (at < all.size()) {
    const std::string where = "record " + std::to_string(view.records.size() + 1) +
                              " at content offset " + std::to_string(at);
    if (all.size() - at < 8) {
      return Failure<PackageView>(PackageError::kTruncatedRecord, where + ": fields cut short");
    }
    const std::uint64_t length = ReadUint32(&all[at]);
    const std::uint64_t nameLength = ReadUint32(&all[at + 4]);
    if (length < FileRecord::kOverheadBytes + nameLength) {
      return Failure<PackageView>(
          PackageError::kBadRecordLength,
          where + ": length " + std::to_string(length) + " is less than 9 + name length");
    }
    if (nameLength > FileRecord::kMaxNameBytes) {
      return Failure<PackageView>(PackageError::kNameTooLong,
                                  where + ": " + NameTooLong(nameLength));
    }
    if (length > all.size() - at) {
      return Failure<PackageView>(PackageError::kTruncatedRecord,
                                  where + ": runs past the end of the content");
    }
    const std::uint8_t* name = &all[at + 8];
    if (name[nameLength] != 0) {
      return Failure<PackageView>(PackageError::kNameNotTerminated,
                                  where + ": name not followed by NUL");
    }
    const RecordView record{std::string_view(reinterpret_cast<const char*>(name), nameLength),
                            all.subspan(at + FileRecord::kOverheadBytes + nameLength,
                                        length - FileRecord::kOverheadBytes - nameLength)};
    if (!view.records.empty() && !(view.records.back().name < record.name)) {
      return Failure<PackageView>(PackageError::kNamesNotAscending,
                                  where + ": \"" + PrintableName(record.name) +
                                      "\" does not sort after \"" +
                                      PrintableName(view.records.back().name) + "\"");
    }
    view.records.push_back(record);
    at += length;
  }
  return view;
}

namespace {

// Checks the header against the file's length (and, given a key, the signature's length) and
// splits off the signature and the payload.
PackageReadStatus CheckLayout(std::span<const std::uint8_t> file,
                              const CryptoPP::RSAFunction* publicKey,
                              std::span<const std::uint8_t>& signature,
                              std::span<const std::uint8_t>& payload) {
  if (file.size() < SignedPackage::kHeaderBytes) {
    return Failure(PackageError::kTooShort, "shorter than the 12-byte header");
  }
  PackageReadStatus result;
  SignedPackage& header = result.header;
  header = {ReadUint32(&file[0]), ReadUint32(&file[4]), ReadUint32(&file[8])};
  if (header.reserved != 0) return Failure(PackageError::kReservedNotZero, "the reserved field is not 0");
  if (publicKey && header.signatureLength != ModulusBytes(*publicKey)) {
    return Failure(PackageError::kSignatureLengthMismatch,
                   "signature length " + std::to_string(header.signatureLength) +
                       " differs from the key's " + std::to_string(ModulusBytes(*publicKey)));
  }
  const std::uint64_t expected =
      SignedPackage::kHeaderBytes + std::uint64_t{header.signatureLength} + header.payloadLength;
  if (expected != file.size()) {
    return Failure(PackageError::kLengthMismatch,
                   "the header promises " + std::to_string(expected) + " bytes, the file has " +
                       std::to_string(file.size()));
  }
  signature = file.subspan(SignedPackage::kHeaderBytes, header.signatureLength);
  payload = file.subspan(SignedPackage::kHeaderBytes + header.signatureLength);
  return result;
}

PackageView WithStatus(PackageReadStatus status) {
  PackageView view;
  static_cast<PackageReadStatus&>(view) = std::move(status);
  return view;
}

PackageView ReadContent(const SignedPackage& header, std::span<const std::uint8_t> payload,
                        const PackageReadLimits& limits) {
  Bytes content;
  PackageReadStatus inflated = DecompressPayload(payload, limits, content);
  if (!inflated.ok()) {
    inflated.header = header;
    return WithStatus(std::move(inflated));
  }
  PackageView view = ParsePackageContent(std::move(content));
  view.header = header;
  return view;
}

PackageView ReadPackage(std::span<const std::uint8_t> file, const CryptoPP::RSAFunction* publicKey,
                        const PackageReadLimits& limits) {
  std::span<const std::uint8_t> signature, payload;
  PackageReadStatus layout = CheckLayout(file, publicKey, signature, payload);
  if (!layout.ok()) return WithStatus(std::move(layout));
  if (publicKey && !VerifySignature(signature, payload, *publicKey)) {
    return Failure<PackageView>(PackageError::kBadSignature,
                                "the signature does not match the payload");
  }
  return ReadContent(layout.header, payload, limits);
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
