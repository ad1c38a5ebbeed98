// Reading a package in one pass with bounded memory: the file is fed in pieces, its payload is
// hashed and inflated as it comes, and the records are handed on as they are found, their data
// in slices. The checks and their errors are those of the reader in package_reader.h.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "wrapper/package/package_reader.h"

namespace rigwright {

// Receives the records of a package as they are found. Returning false stops the reading.
class RecordSink {
 public:
  virtual ~RecordSink() = default;
  virtual bool BeginRecord(std::string_view name, std::uint64_t dataBytes) = 0;
  virtual bool RecordData(std::span<const std::uint8_t> data) = 0;
  virtual bool EndRecord() = 0;
};

// A stream reader holds no content, only a slice of it at a time, so it needs no limit on the
// content: what a payload can inflate to is bounded by the deflate format (at most 1032 times its
// size), and a machine's content may well exceed 4 GiB. Each package, nested ones too, is read
// with its own limits.
inline constexpr PackageReadLimits kStreamReadLimits{.maxContentBytes = UINT64_MAX};

class PackageStreamReader {
 public:
  // `fileBytes` is the package's whole length (a file's size, a record's length). With a
  // `publicKey` the signature is checked; without, it is skipped.
  PackageStreamReader(std::uint64_t fileBytes, const CryptoPP::RSAFunction* publicKey,
                      RecordSink& sink, const PackageReadLimits& limits = kStreamReadLimits);
  ~PackageStreamReader();
  PackageStreamReader(const PackageStreamReader&) = delete;
  PackageStreamReader& operator=(const PackageStreamReader&) = delete;

  // Takes the next bytes of the package. False once nothing more is needed: the sink stopped,
  // or the outcome is settled as a failure.
  bool Feed(std::span<const std::uint8_t> bytes);
  // The outcome once the whole package has been fed, or Feed returned false. A bad signature
  // comes before any damage to the content, as the signature is checked first by the simulator.
  PackageReadStatus Finish();

  // The same outcome with the signature left out of it: whether the signature verifies (always
  // true without a key) goes to `signatureVerifies`. For a reader that uses what a package holds
  // whatever its signature, and says so, in the same read.
  PackageReadStatus FinishApartFromSignature(bool& signatureVerifies);

  // The content bytes inflated so far.
  std::uint64_t contentBytes() const;
  // True when the sink stopped the reading.
  bool stoppedBySink() const;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

// Reads the package file `path` in slices through a stream reader. A file that cannot be read,
// or is no regular file, gives false with `ioError` saying why, as InputFile does.
// With `signatureVerifies`, `status` is FinishApartFromSignature's.
bool StreamPackageFile(const std::filesystem::path& path, const CryptoPP::RSAFunction* publicKey,
                       RecordSink& sink, const PackageReadLimits& limits,
                       PackageReadStatus& status, std::string& ioError,
                       bool* signatureVerifies = nullptr);

}  // namespace rigwright
