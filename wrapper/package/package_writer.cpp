#include "wrapper/package/package_writer.h"

#include <cryptopp/filters.h>
#include <cryptopp/gzip.h>
#include <cryptopp/osrng.h>
#include <cryptopp/rsa.h>
#include <cryptopp/sha.h>

#include <algorithm>
#include <limits>

#include "wrapper/package/signing_key.h"

namespace rigwright {
namespace {

// Large files go into the compressor in slices so that progress can be told and an oversize
// payload is noticed before all of it is compressed.
constexpr std::size_t kSliceBytes = 1 << 20;

std::uint64_t ContentBytes(const FileMap& files) {
  std::uint64_t total = 0;
  for (const auto& [name, data] : files) total += RecordPacker::RecordBytes(name, data.size());
  return total;
}

}  // namespace

RecordPacker::RecordPacker(ParallelGzip& gzip, PackProgress progress,
                           std::uint64_t totalContentBytes)
    : gzip_(gzip), progress_(std::move(progress)), total_(totalContentBytes) {}

bool RecordPacker::BeginRecord(std::string_view name, std::uint64_t dataBytes) {
  const std::uint64_t length = RecordBytes(name, dataBytes);
  if (length > std::numeric_limits<std::uint32_t>::max()) return false;
  if (name.size() > FileRecord::kMaxNameBytes) return false;  // readers would refuse it
  Bytes head;
  head.reserve(FileRecord::kOverheadBytes + name.size());
  AppendUint32(head, static_cast<std::uint32_t>(length));
  AppendUint32(head, static_cast<std::uint32_t>(name.size()));
  head.insert(head.end(), name.begin(), name.end());
  head.push_back(0);
  done_ += head.size();
  return gzip_.Put(head);
}

bool RecordPacker::PutData(std::span<const std::uint8_t> data, ContentKind kind) {
  if (!gzip_.Put(data, kind)) return false;
  done_ += data.size();
  return !progress_ || progress_(done_, total_);
}

void RecordPacker::ReportDone() {
  if (progress_) progress_(total_, total_);
}

Bytes PackFiles(const FileMap& files, const PackProgress& progress, std::uint64_t payloadLimit,
                CompressionOptions options) {
  Bytes payload;
  ParallelGzip gzip(
      [&](std::span<const std::uint8_t> bytes) {
        payload.insert(payload.end(), bytes.begin(), bytes.end());
        return payload.size() < payloadLimit;
      },
      options);
  RecordPacker packer(gzip, progress, ContentBytes(files));
  for (const auto& [name, data] : files) {
    if (!packer.BeginRecord(name, data.size())) return {};
    const std::span<const std::uint8_t> all(data);
    for (std::size_t at = 0; at < all.size(); at += kSliceBytes) {
      if (!packer.PutData(all.subspan(at, std::min(kSliceBytes, all.size() - at)))) return {};
    }
  }
  if (!gzip.Finish()) return {};
  packer.ReportDone();
  return payload;
}

Bytes PackageHead(std::span<const std::uint8_t> signature, std::uint64_t payloadBytes) {
  Bytes head(SignedPackage::kHeaderBytes + signature.size());
  WriteUint32(head.data(), 0);
  WriteUint32(head.data() + 4, static_cast<std::uint32_t>(signature.size()));
  WriteUint32(head.data() + 8, static_cast<std::uint32_t>(payloadBytes));
  std::copy(signature.begin(), signature.end(), head.begin() + SignedPackage::kHeaderBytes);
  return head;
}

Bytes SignPackage(const Bytes& payload, const CryptoPP::PK_Signer& signer,
                  CryptoPP::RandomNumberGenerator& rng) {
  Bytes signature(signer.MaxSignatureLength());
  signature.resize(signer.SignMessage(rng, payload.data(), payload.size(), signature.data()));
  Bytes package = PackageHead(signature, payload.size());
  package.insert(package.end(), payload.begin(), payload.end());
  return package;
}

bool MemoryOutput::Write(std::span<const std::uint8_t> data) {
  bytes.insert(bytes.end(), data.begin(), data.end());
  return true;
}

bool MemoryOutput::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> data) {
  if (offset > bytes.size() || data.size() > bytes.size() - offset) return false;
  std::copy(data.begin(), data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
  return true;
}

PackageWriteResult WriteSignedPackage(PackageSigner& signer, PackageOutput& out,
                                      std::uint64_t totalContentBytes, const PackProgress& progress,
                                      const std::function<bool(RecordPacker&)>& putRecords,
                                      std::uint64_t payloadLimit, CompressionOptions options) {
  signer.BeginPayload();
  const Bytes room(SignedPackage::kHeaderBytes + signer.SignatureLength());
  if (!out.Write(room)) return PackageWriteResult::kStopped;
  std::uint64_t payloadBytes = 0;
  bool tooLarge = false;
  ParallelGzip gzip(
      [&](std::span<const std::uint8_t> bytes) {
        payloadBytes += bytes.size();
        tooLarge = payloadBytes >= payloadLimit;
        if (tooLarge) return false;
        signer.UpdatePayload(bytes);
        return out.Write(bytes);
      },
      options);
  RecordPacker packer(gzip, progress, totalContentBytes);
  if (!putRecords(packer) || !gzip.Finish()) {
    return tooLarge ? PackageWriteResult::kTooLarge : PackageWriteResult::kStopped;
  }
  const Bytes head = signer.FinishPayload(payloadBytes);
  if (head.size() != room.size() || !out.WriteAt(0, head)) return PackageWriteResult::kStopped;
  packer.ReportDone();
  return PackageWriteResult::kWritten;
}

struct PackageSigner::Objects {
  CryptoPP::AutoSeededRandomPool rng{false, 32};
  CryptoPP::RSASS<CryptoPP::PKCS1v15, CryptoPP::SHA1>::Signer signer;
  std::unique_ptr<CryptoPP::PK_MessageAccumulator> payload;
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

std::size_t PackageSigner::SignatureLength() const { return objects_->signer.SignatureLength(); }

void PackageSigner::BeginPayload() {
  objects_->payload.reset(objects_->signer.NewSignatureAccumulator(objects_->rng));
}

void PackageSigner::UpdatePayload(std::span<const std::uint8_t> bytes) {
  objects_->payload->Update(bytes.data(), bytes.size());
}

Bytes PackageSigner::FinishPayload(std::uint64_t payloadBytes) {
  Bytes signature(objects_->signer.MaxSignatureLength());
  // Sign takes the accumulator over and deletes it.
  signature.resize(
      objects_->signer.Sign(objects_->rng, objects_->payload.release(), signature.data()));
  return PackageHead(signature, payloadBytes);
}

}  // namespace rigwright
