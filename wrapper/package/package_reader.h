// Reading and checking signed packages the way the simulator does: every rule of the layout is
// checked and each broken rule is reported as its own error.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "wrapper/package/file_map.h"

namespace CryptoPP {
class RSAFunction;
}

namespace rigwright {

enum class PackageError {
  kNone,
  kTooShort,                 // shorter than the 12-byte header
  kReservedNotZero,          // first header field is not 0
  kSignatureLengthMismatch,  // S is not the public key's modulus length
  kLengthMismatch,           // 12 + S + N is not the file's length
  kBadSignature,             // the signature does not verify over the payload
  kNotGzip,                  // the payload does not start a gzip member
  kCorruptCompressedData,    // the gzip member is damaged or cut short
  kDataAfterGzipMember,      // bytes (another member, or garbage) follow the first member
  kContentTooLarge,          // the decompressed content exceeds the reader's limit
  kTruncatedRecord,          // a record's fields run past the end of the content
  kBadRecordLength,          // L is smaller than 9 + n
  kNameNotTerminated,        // the byte after a name is not NUL
  kNamesNotAscending,        // names out of byte-wise order, or a name repeated
};

// A short, stable name for the error, e.g. "bad-signature".
std::string_view PackageErrorName(PackageError error);

struct PackageReadLimits {
  std::uint64_t maxContentBytes = std::uint64_t{1} << 32;
};

struct PackageReadResult {
  PackageError error = PackageError::kNone;
  std::string detail;  // human-readable account of the error; empty when there is none
  SignedPackage header;
  std::vector<FileRecord> records;  // filled only when error is kNone

  bool ok() const { return error == PackageError::kNone; }
};

// Checks the header, the signature with `publicKey`, the gzip member and the records.
PackageReadResult ReadSignedPackage(std::span<const std::uint8_t> file,
                                    const CryptoPP::RSAFunction& publicKey,
                                    const PackageReadLimits& limits = {});

// The same checks without the signature: for looking inside packages signed with another key.
PackageReadResult ReadPackageUnverified(std::span<const std::uint8_t> file,
                                        const PackageReadLimits& limits = {});

// Splits uncompressed content into records, checking the record rules only.
PackageReadResult ParsePackageContent(std::span<const std::uint8_t> content);

// Decompresses exactly one gzip member that must fill `payload`.
PackageReadResult DecompressPayload(std::span<const std::uint8_t> payload,
                                    const PackageReadLimits& limits, Bytes& content);

// Loads an RSA public key from PEM text ("-----BEGIN PUBLIC KEY-----", SubjectPublicKeyInfo).
bool LoadPublicKeyPem(std::string_view pem, CryptoPP::RSAFunction& key, std::string* error);

// Names of records that are packages themselves: what a bundle carries.
bool IsNestedPackageName(std::string_view name);

// Why a record name must not be used as a relative path inside a folder (empty, absolute, with a
// ".." component, with a NUL, or, unless `allowBackslash`, with a backslash); nullopt when it is
// safe. Both '/' and '\' count as separators when looking for "..".
std::optional<std::string> UnsafeRelativePathReason(std::string_view name, bool allowBackslash);

}  // namespace rigwright
