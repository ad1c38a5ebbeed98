#include "wrapper/package/package_reader.h"

#include <cryptopp/base64.h>
#include <cryptopp/filters.h>
#include <cryptopp/rsa.h>
#include <cryptopp/sha.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>

namespace rigwright {
namespace {

PackageReadResult Failure(PackageError error, std::string detail) {
  PackageReadResult result;
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
    case PackageError::kCorruptCompressedData: return "corrupt-compressed-data";
    case PackageError::kDataAfterGzipMember: return "data-after-gzip-member";
    case PackageError::kContentTooLarge: return "content-too-large";
    case PackageError::kTruncatedRecord: return "truncated-record";
    case PackageError::kBadRecordLength: return "bad-record-length";
    case PackageError::kNameNotTerminated: return "name-not-terminated";
    case PackageError::kNamesNotAscending: return "names-not-ascending";
  }
  return "unknown";
}

PackageReadResult DecompressPayload(std::span<const std::uint8_t> payload,
                                    const PackageReadLimits& limits, Bytes& content) {
  if (payload.size() < 3 || payload[0] != 0x1F || payload[1] != 0x8B || payload[2] != 8) {
    return Failure(PackageError::kNotGzip, "the payload does not begin with a gzip header");
  }
  Inflater inflater;
  if (!inflater.ok()) return Failure(PackageError::kCorruptCompressedData, "cannot start inflating");
  z_stream& z = inflater.stream();
  z.next_in = const_cast<Bytef*>(payload.data());
  z.avail_in = 0;
  std::size_t fed = 0;
  content.clear();
  std::uint8_t chunk[1 << 16];
  int status = Z_OK;
  while (status != Z_STREAM_END) {
    if (z.avail_in == 0 && fed < payload.size()) {
      z.avail_in = static_cast<uInt>(std::min<std::size_t>(payload.size() - fed, 1u << 30));
      fed += z.avail_in;
    }
    z.next_out = chunk;
    z.avail_out = sizeof chunk;
    status = inflate(&z, Z_NO_FLUSH);
    if (status != Z_OK && status != Z_STREAM_END) {
      const std::string why = status == Z_BUF_ERROR ? "the gzip member is cut short"
                                                    : std::string("damaged gzip data: ") +
                                                          (z.msg ? z.msg : "inflate failed");
      return Failure(PackageError::kCorruptCompressedData, why);
    }
    const std::size_t produced = sizeof chunk - z.avail_out;
    if (content.size() + produced > limits.maxContentBytes) {
      return Failure(PackageError::kContentTooLarge,
                     "the content is larger than " + std::to_string(limits.maxContentBytes) +
                         " bytes");
    }
    content.insert(content.end(), chunk, chunk + produced);
  }
  const std::size_t left = z.avail_in + (payload.size() - fed);
  if (left != 0) {
    return Failure(PackageError::kDataAfterGzipMember,
                   std::to_string(left) + " bytes follow the gzip member");
  }
  return {};
}

PackageReadResult ParsePackageContent(std::span<const std::uint8_t> content) {
  PackageReadResult result;
  std::size_t at = 0;
  while (at < content.size()) {
    const std::string where = "record " + std::to_string(result.records.size() + 1) +
                              " at content offset " + std::to_string(at);
    if (content.size() - at < 8) return Failure(PackageError::kTruncatedRecord, where + ": fields cut short");
    const std::uint64_t length = ReadUint32(&content[at]);
    const std::uint64_t nameLength = ReadUint32(&content[at + 4]);
    if (length < FileRecord::kOverheadBytes + nameLength) {
      return Failure(PackageError::kBadRecordLength,
                     where + ": length " + std::to_string(length) + " is less than 9 + name length");
    }
    if (length > content.size() - at) {
      return Failure(PackageError::kTruncatedRecord, where + ": runs past the end of the content");
    }
    const std::uint8_t* name = &content[at + 8];
    if (name[nameLength] != 0) {
      return Failure(PackageError::kNameNotTerminated, where + ": name not followed by NUL");
    }
    FileRecord record;
    record.name.assign(reinterpret_cast<const char*>(name), nameLength);
    record.data.assign(name + nameLength + 1, &content[at] + length);
    if (!result.records.empty() && !(result.records.back().name < record.name)) {
      return Failure(PackageError::kNamesNotAscending,
                     where + ": \"" + record.name + "\" does not sort after \"" +
                         result.records.back().name + "\"");
    }
    result.records.push_back(std::move(record));
    at += length;
  }
  return result;
}

namespace {

// Checks the header against the file's length (and, given a key, the signature's length) and
// splits off the signature and the payload.
PackageReadResult CheckLayout(std::span<const std::uint8_t> file,
                              const CryptoPP::RSAFunction* publicKey,
                              std::span<const std::uint8_t>& signature,
                              std::span<const std::uint8_t>& payload) {
  if (file.size() < SignedPackage::kHeaderBytes) {
    return Failure(PackageError::kTooShort, "shorter than the 12-byte header");
  }
  PackageReadResult result;
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

PackageReadResult ReadContent(const SignedPackage& header, std::span<const std::uint8_t> payload,
                              const PackageReadLimits& limits) {
  Bytes content;
  PackageReadResult result = DecompressPayload(payload, limits, content);
  if (!result.ok()) return result;
  result = ParsePackageContent(content);
  result.header = header;
  return result;
}

}  // namespace

PackageReadResult ReadSignedPackage(std::span<const std::uint8_t> file,
                                    const CryptoPP::RSAFunction& publicKey,
                                    const PackageReadLimits& limits) {
  std::span<const std::uint8_t> signature, payload;
  PackageReadResult layout = CheckLayout(file, &publicKey, signature, payload);
  if (!layout.ok()) return layout;
  if (!VerifySignature(signature, payload, publicKey)) {
    return Failure(PackageError::kBadSignature, "the signature does not match the payload");
  }
  return ReadContent(layout.header, payload, limits);
}

PackageReadResult ReadPackageUnverified(std::span<const std::uint8_t> file,
                                        const PackageReadLimits& limits) {
  std::span<const std::uint8_t> signature, payload;
  PackageReadResult layout = CheckLayout(file, nullptr, signature, payload);
  if (!layout.ok()) return layout;
  return ReadContent(layout.header, payload, limits);
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

bool IsNestedPackageName(std::string_view name) {
  return name.ends_with(".OrvaneSim") || name.ends_with(".OrvaneSimCfg") ||
         name.ends_with(".OrvaneSimBundle");
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
