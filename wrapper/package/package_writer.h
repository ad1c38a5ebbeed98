// Making signed packages: file map to compressed payload, payload to signed package.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "wrapper/package/file_map.h"
#include "wrapper/package/parallel_gzip.h"

namespace CryptoPP {
class PK_Signer;
class RandomNumberGenerator;
}  // namespace CryptoPP

namespace rigwright {

// Called while a payload is compressed: how many content bytes are done out of how many. Returning
// false stops the compression (PackFiles then returns an empty vector).
using PackProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// A payload must stay below 4 GiB because its length is stored in 32 bits.
inline constexpr std::uint64_t kMaxPayloadBytes = std::uint64_t{1} << 32;

// The gzip member (deflate level 6, 32 KiB window, header 1F 8B 08 00 00 00 00 00 00 00) of the
// records of `files` in map order. Returns an empty vector when the payload would reach
// `payloadLimit` bytes, a record would not fit its 32-bit length field, a name is longer than
// FileRecord::kMaxNameBytes, or `progress` asked to stop: no valid payload is ever empty, so
// callers treat empty as failure.
Bytes PackFiles(const FileMap& files, const PackProgress& progress = {},
                std::uint64_t payloadLimit = kMaxPayloadBytes, CompressionOptions options = {});

// Header, signature over `payload`, then `payload` itself.
Bytes SignPackage(const Bytes& payload, const CryptoPP::PK_Signer& signer,
                  CryptoPP::RandomNumberGenerator& rng);

// The 12 header bytes and the signature that open a signed package of `payloadBytes` bytes.
Bytes PackageHead(std::span<const std::uint8_t> signature, std::uint64_t payloadBytes);

// Puts file records into a compressor, one after another, and tells progress in content bytes.
class RecordPacker {
 public:
  RecordPacker(ParallelGzip& gzip, PackProgress progress, std::uint64_t totalContentBytes);

  // Starts a record of `dataBytes` bytes of data. False when 9 + n + d does not fit the record's
  // 32-bit length field, the name is longer than FileRecord::kMaxNameBytes, or the compressor
  // stopped.
  bool BeginRecord(std::string_view name, std::uint64_t dataBytes);
  // Adds data of the current record and tells progress. False when the compressor or the
  // progress callback says stop.
  bool PutData(std::span<const std::uint8_t> data, ContentKind kind = ContentKind::kCompressible);
  // The last progress report (done = total), once every record is in.
  void ReportDone();

  // The content of one record of `dataBytes` bytes named `name`.
  static std::uint64_t RecordBytes(std::string_view name, std::uint64_t dataBytes) {
    return FileRecord::kOverheadBytes + name.size() + dataBytes;
  }

 private:
  ParallelGzip& gzip_;
  PackProgress progress_;
  std::uint64_t total_;
  std::uint64_t done_ = 0;
};

// Where a signed package goes while it is made: written in order, and its head filled in last.
class PackageOutput {
 public:
  virtual ~PackageOutput() = default;
  virtual bool Write(std::span<const std::uint8_t> bytes) = 0;
  virtual bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;
};

// A package made in memory.
class MemoryOutput : public PackageOutput {
 public:
  bool Write(std::span<const std::uint8_t> bytes) override;
  bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override;
  Bytes bytes;
};

enum class PackageWriteResult {
  kWritten,
  kTooLarge,  // the payload would reach the limit
  kStopped,   // `putRecords` or the output failed; they know why
};

class PackageSigner;

// Writes a signed package to `out` while `putRecords` puts its records (`totalContentBytes` in
// all) into the packer: room for the head and signature first, then the payload as it is
// compressed, hashed on its way out, and last the head with the signature in its place. Nothing
// is held but the chunks being compressed.
PackageWriteResult WriteSignedPackage(PackageSigner& signer, PackageOutput& out,
                                      std::uint64_t totalContentBytes, const PackProgress& progress,
                                      const std::function<bool(RecordPacker&)>& putRecords,
                                      std::uint64_t payloadLimit = kMaxPayloadBytes,
                                      CompressionOptions options = {});

// The signing objects a writer makes once per operation: a random pool and an RSA signer
// (PKCS #1 v1.5, SHA-1) over the built-in signing key.
class PackageSigner {
 public:
  // Null when the built-in key cannot be decoded; `error` then says so.
  static std::unique_ptr<PackageSigner> Create(std::string* error);
  ~PackageSigner();

  Bytes Sign(const Bytes& payload);

  // Signing a payload that is produced piece by piece: the signature's length is known before
  // the payload, so a writer can leave room for the head (PackageHead) and fill it in last.
  std::size_t SignatureLength() const;
  void BeginPayload();
  void UpdatePayload(std::span<const std::uint8_t> bytes);
  // The head for the payload fed since BeginPayload.
  Bytes FinishPayload(std::uint64_t payloadBytes);

 private:
  struct Objects;
  explicit PackageSigner(std::unique_ptr<Objects> objects);
  std::unique_ptr<Objects> objects_;
};

}  // namespace rigwright
