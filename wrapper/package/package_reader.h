// Reading and checking signed packages the way the simulator does: every rule of the layout is
// checked and each broken rule is reported as its own error.
#pragma once

#include <cstdint>
#include <functional>
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
  kUnexpectedGzipHeader,     // a gzip header other than 1F 8B 08 00 00 00 00 00 00 00
  kCorruptCompressedData,    // the gzip member is damaged or cut short
  kDataAfterGzipMember,      // bytes (another member, or garbage) follow the first member
  kContentTooLarge,          // the decompressed content exceeds the reader's limit
  kTruncatedRecord,          // a record's fields run past the end of the content
  kBadRecordLength,          // L is smaller than 9 + n
  kNameNotTerminated,        // the byte after a name is not NUL
  kNamesNotAscending,        // names out of byte-wise order, or a name repeated
  kNameTooLong,              // a name longer than FileRecord::kMaxNameBytes
};

// A short, stable name for the error, e.g. "bad-signature".
std::string_view PackageErrorName(PackageError error);

struct PackageReadLimits {
  // How much content one package may inflate to. The readers here hold the whole content, so
  // they stop below 4 GiB by default; the stream reader holds none and has no limit by default
  // (see package_stream.h). Content of 4 GiB and more is valid: the gzip trailer then states its
  // length modulo 2^32.
  std::uint64_t maxContentBytes = (std::uint64_t{1} << 32) - 1;
};

struct PackageReadStatus {
  PackageError error = PackageError::kNone;
  std::string detail;  // human-readable account of the error; empty when there is none
  SignedPackage header;

  bool ok() const { return error == PackageError::kNone; }
};

// A package's records, each with its own copy of its data.
struct PackageReadResult : PackageReadStatus {
  std::vector<FileRecord> records;  // filled only when error is kNone
};

// A record as it lies in a package's content, without a copy of its data.
struct RecordView {
  std::string_view name;
  std::span<const std::uint8_t> data;
};

// A package read in place: its decompressed content, and its records pointing into it, so the
// data is held once. Move-only: moving keeps the content's buffer, and with it the records.
struct PackageView : PackageReadStatus {
  PackageView() = default;
  PackageView(PackageView&&) = default;
  PackageView& operator=(PackageView&&) = default;
  PackageView(const PackageView&) = delete;
  PackageView& operator=(const PackageView&) = delete;

  Bytes content;
  std::vector<RecordView> records;  // filled only when error is kNone
};

// Checks the header, the signature with `publicKey`, the gzip member and the records: the
// package held in memory is read through the stream reader (package_stream.h), the one reader.
PackageReadResult ReadSignedPackage(std::span<const std::uint8_t> file,
                                    const CryptoPP::RSAFunction& publicKey,
                                    const PackageReadLimits& limits = {});
PackageView ViewSignedPackage(std::span<const std::uint8_t> file,
                              const CryptoPP::RSAFunction& publicKey,
                              const PackageReadLimits& limits = {});

// The same checks without the signature: for looking inside packages signed with another key.
PackageView ViewPackageUnverified(std::span<const std::uint8_t> file,
                                  const PackageReadLimits& limits = {});

// The account of a record name of `nameBytes` bytes, longer than FileRecord::kMaxNameBytes.
std::string NameTooLong(std::uint64_t nameBytes);

// Checks the start of a payload of `payloadBytes` bytes (at least its first ten bytes, when it
// has them) against the fixed gzip header.
PackageReadStatus CheckGzipHeader(std::span<const std::uint8_t> payload,
                                  std::uint64_t payloadBytes);

// Loads an RSA public key from PEM text ("-----BEGIN PUBLIC KEY-----", SubjectPublicKeyInfo).
bool LoadPublicKeyPem(std::string_view pem, CryptoPP::RSAFunction& key, std::string* error);

// The two records of a bundle that are packages themselves, as indices into its records:
// `<stem>.OrvaneSim` and `<stem>.OrvaneSimCfg`, the stem found from the pair. Nullopt unless
// exactly one stem has both; every other record (a post file named like a package, too) is data.
// Nothing nests deeper: the records of these two packages are all data.
struct NestedPackages {
  std::size_t machine = 0;
  std::size_t configuration = 0;
};
std::optional<NestedPackages> FindNestedPackages(std::span<const RecordView> records);
// The same over `count` names, ascending, that `nameAt` gives by index.
std::optional<NestedPackages> FindNestedPackages(
    std::size_t count, const std::function<std::string_view(std::size_t)>& nameAt);

// A record name as it may be shown on a terminal or in a message: control characters and bytes
// that are not UTF-8 become \xHH (each byte of the character), and a backslash becomes \\, so
// that the text shows every byte of the name unambiguously.
std::string PrintableName(std::string_view name);

// Why a record name must not be used as a relative path inside a folder (empty, absolute, with a
// ".." component, with a NUL, or, unless `allowBackslash`, with a backslash); nullopt when it is
// safe. Both '/' and '\' count as separators when looking for "..".
std::optional<std::string> UnsafeRelativePathReason(std::string_view name, bool allowBackslash);

}  // namespace rigwright
