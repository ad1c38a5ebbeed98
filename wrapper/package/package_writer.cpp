#include "wrapper/package/package_writer.h"

#include <cryptopp/filters.h>
#include <cryptopp/gzip.h>
#include <cryptopp/osrng.h>
#include <cryptopp/rsa.h>
#include <cryptopp/sha.h>

#include <algorithm>

#include "wrapper/package/signing_key.h"

namespace rigwright {
namespace {

constexpr unsigned kDeflateLevel = 6;
constexpr unsigned kLog2WindowSize = 15;
constexpr bool kDetectUncompressible = true;
constexpr std::size_t kGzipOperatingSystemOffset = 9;
// Large files go into the compressor in slices so that progress can be told and an oversize
// payload is noticed before all of it is compressed.
constexpr std::size_t kSliceBytes = 1 << 20;

std::uint64_t ContentBytes(const FileMap& files) {
  std::uint64_t total = 0;
  for (const auto& [name, data] : files) total += FileRecord::kOverheadBytes + name.size() + data.size();
  return total;
}

bool FitsRecordFields(const std::string& name, const Bytes& data) {
  const std::uint64_t length = FileRecord::kOverheadBytes + std::uint64_t{name.size()} + data.size();
  return length <= std::numeric_limits<std::uint32_t>::max();
}

}  // namespace

Bytes PackFiles(const FileMap& files, const PackProgress& progress, std::uint64_t payloadLimit) {
  Bytes payload;
  CryptoPP::Gzip gzip(new CryptoPP::VectorSink(payload), kDeflateLevel, kLog2WindowSize,
                      kDetectUncompressible);
  const std::uint64_t total = ContentBytes(files);
  std::uint64_t done = 0;
  auto tooLarge = [&] { return payload.size() >= payloadLimit; };

  for (const auto& [name, data] : files) {
    if (!FitsRecordFields(name, data)) return {};
    Bytes head;
    AppendUint32(head, static_cast<std::uint32_t>(FileRecord::kOverheadBytes + name.size() + data.size()));
    AppendUint32(head, static_cast<std::uint32_t>(name.size()));
    head.insert(head.end(), name.begin(), name.end());
    head.push_back(0);
    gzip.Put(head.data(), head.size());
    done += head.size();
    for (std::size_t at = 0; at < data.size(); at += kSliceBytes) {
      const std::size_t slice = std::min(kSliceBytes, data.size() - at);
      gzip.Put(data.data() + at, slice);
      done += slice;
      if (tooLarge()) return {};
      if (progress && !progress(done, total)) return {};
    }
  }
  gzip.MessageEnd();
  if (tooLarge()) return {};
  // The compressor names the operating system it runs on in the last header byte; the format
  // fixes that byte at 0 so a package's header is the same wherever it is made. No checksum
  // covers the header, so the byte can be set after the fact.
  payload[kGzipOperatingSystemOffset] = 0;
  if (progress) progress(total, total);
  return payload;
}

Bytes SignPackage(const Bytes& payload, const CryptoPP::PK_Signer& signer,
                  CryptoPP::RandomNumberGenerator& rng) {
  Bytes package(SignedPackage::kHeaderBytes + signer.MaxSignatureLength());
  std::uint8_t* header = package.data();
  const std::size_t signatureLength = signer.SignMessage(
      rng, payload.data(), payload.size(), header + SignedPackage::kHeaderBytes);
  package.resize(SignedPackage::kHeaderBytes + signatureLength);
  header = package.data();
  WriteUint32(header, 0);
  WriteUint32(header + 4, static_cast<std::uint32_t>(signatureLength));
  WriteUint32(header + 8, static_cast<std::uint32_t>(payload.size()));
  package.insert(package.end(), payload.begin(), payload.end());
  return package;
}

struct PackageSigner::Objects {
  CryptoPP::AutoSeededRandomPool rng{false, 32};
  CryptoPP::RSASS<CryptoPP::PKCS1v15, CryptoPP::SHA1>::Signer signer;
};

std::unique_ptr<PackageSigner> PackageSigner::Create(std::string* error) {
  auto objects = std::make_unique<Objects>();
  if (!LoadSigningKey(objects->signer.AccessKey(), error)) return nullptr;
  return std::unique_ptr<PackageSigner>(new PackageSigner(std::move(objects)));
}

PackageSigner::PackageSigner(std::unique_ptr<Objects> objects) : objects_(std::move(objects)) {}
PackageSigner::~PackageSigner() = default;

Bytes PackageSigner::Sign(const Bytes& payload) {
  return SignPackage(payload, objects_->signer, objects_->rng);
}

}  // namespace rigwright
