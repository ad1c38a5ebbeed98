// Making signed packages: file map to compressed payload, payload to signed package.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>

#include "wrapper/package/file_map.h"

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
// `payloadLimit` bytes, a record would not fit its 32-bit length field, or `progress` asked to
// stop: no valid payload is ever empty, so callers treat empty as failure.
Bytes PackFiles(const FileMap& files, const PackProgress& progress = {},
                std::uint64_t payloadLimit = kMaxPayloadBytes);

// Header, signature over `payload`, then `payload` itself.
Bytes SignPackage(const Bytes& payload, const CryptoPP::PK_Signer& signer,
                  CryptoPP::RandomNumberGenerator& rng);

// The signing objects a writer makes once per operation: a random pool and an RSA signer
// (PKCS #1 v1.5, SHA-1) over the built-in signing key.
class PackageSigner {
 public:
  // Null when the built-in key cannot be decoded; `error` then says so.
  static std::unique_ptr<PackageSigner> Create(std::string* error);
  ~PackageSigner();

  Bytes Sign(const Bytes& payload);

 private:
  struct Objects;
  explicit PackageSigner(std::unique_ptr<Objects> objects);
  std::unique_ptr<Objects> objects_;
};

}  // namespace rigwright
