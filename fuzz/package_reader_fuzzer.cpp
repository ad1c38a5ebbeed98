// The package reader and verifier, fed what another computer could hand us. The first byte says
// what the rest is:
//   0  a whole package file, checked with the built-in public key as it stands;
//   1  a payload (one gzip member), put behind a header and signed with the development key, so
//      that the checks after the signature are reached;
//   2  uncompressed content (records), parsed, and when it parses packed, signed and read back.
// Whatever reads successfully must hold to the format's rules and round-trip to the same records.
#include <cryptopp/rsa.h>

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "fuzz/fuzz_support.h"
#include "fuzz/package_key.h"
#include "wrapper/package/package_reader.h"
#include "wrapper/package/package_writer.h"
#include "wrapper/package/signing_key.h"

namespace rigwright {
namespace {

using fuzz::PublicKey;

Bytes Signed(const Bytes& payload) {
  std::string error;
  const std::unique_ptr<PackageSigner> signer = PackageSigner::Create(&error);
  FUZZ_CHECK(signer != nullptr);
  return signer->Sign(payload);
}

// Keeps the fuzzer within memory: a payload may claim up to 4 GiB of content.
constexpr PackageReadLimits kLimits{16u << 20};

bool SameRecords(const std::vector<FileRecord>& records, std::span<const RecordView> views) {
  if (records.size() != views.size()) return false;
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (records[i].name != views[i].name ||
        !std::equal(records[i].data.begin(), records[i].data.end(), views[i].data.begin(),
                    views[i].data.end())) {
      return false;
    }
  }
  return true;
}

// A name the reader calls safe stays inside any folder it is joined to.
void CheckNameRules(std::string_view name) {
  const std::string printable = PrintableName(name);
  for (const char c : printable) {
    const auto byte = static_cast<unsigned char>(c);
    FUZZ_CHECK(byte >= 0x20 && byte != 0x7F);
  }
  if (!UnsafeRelativePathReason(name, /*allowBackslash=*/false)) {
    FUZZ_CHECK(!name.empty() && name.find('\0') == std::string_view::npos &&
               name.find('\\') == std::string_view::npos);
    const std::filesystem::path root = "/fuzz-root";
    const std::filesystem::path joined = (root / std::string(name)).lexically_normal();
    const auto [end, unused] =
        std::mismatch(root.begin(), root.end(), joined.begin(), joined.end());
    FUZZ_CHECK(end == root.end());
    FUZZ_CHECK(joined != root);
  }
}

// What holds of every package that reads successfully.
void CheckReadPackage(std::span<const std::uint8_t> file, const PackageReadResult& read) {
  for (std::size_t i = 1; i < read.records.size(); ++i) {
    FUZZ_CHECK(read.records[i - 1].name < read.records[i].name);
  }
  const PackageView view = ViewSignedPackage(file, PublicKey(), kLimits);
  FUZZ_CHECK(view.ok() && SameRecords(read.records, view.records));
  const PackageView unverified = ViewPackageUnverified(file, kLimits);
  FUZZ_CHECK(unverified.ok() && SameRecords(read.records, unverified.records));
  for (const RecordView& record : view.records) CheckNameRules(record.name);
  if (const auto nested = FindNestedPackages(view.records)) {
    FUZZ_CHECK(nested->machine < view.records.size() &&
               nested->configuration < view.records.size());
    const std::string_view machine = view.records[nested->machine].name;
    const std::string_view configuration = view.records[nested->configuration].name;
    FUZZ_CHECK(machine.ends_with(".OrvaneSim") && configuration.ends_with(".OrvaneSimCfg"));
    FUZZ_CHECK(std::string(machine) + "Cfg" == configuration);
  }

  // Written again by our writer, the same records come back.
  FileMap files;
  for (const FileRecord& record : read.records) files[record.name] = record.data;
  const Bytes payload = PackFiles(files);
  FUZZ_CHECK(!payload.empty());
  const Bytes again = Signed(payload);
  const PackageReadResult reread = ReadSignedPackage(again, PublicKey(), kLimits);
  FUZZ_CHECK(reread.ok() && reread.records.size() == read.records.size());
  for (std::size_t i = 0; i < read.records.size(); ++i) {
    FUZZ_CHECK(reread.records[i].name == read.records[i].name &&
               reread.records[i].data == read.records[i].data);
  }
}

void ReadWholeFile(std::span<const std::uint8_t> file) {
  const PackageReadResult read = ReadSignedPackage(file, PublicKey(), kLimits);
  const PackageView unverified = ViewPackageUnverified(file, kLimits);
  if (read.ok()) {
    CheckReadPackage(file, read);
  } else {
    FUZZ_CHECK(!read.detail.empty() && read.records.empty());
    // Only the signature may tell a verified read from an unverified one.
    if (read.error != PackageError::kBadSignature &&
        read.error != PackageError::kSignatureLengthMismatch) {
      FUZZ_CHECK(!unverified.ok());
    }
  }
}

void ReadSignedPayload(std::span<const std::uint8_t> payload) {
  const Bytes file = Signed(Bytes(payload.begin(), payload.end()));
  const PackageReadResult read = ReadSignedPackage(file, PublicKey(), kLimits);
  FUZZ_CHECK(read.error != PackageError::kBadSignature &&
             read.error != PackageError::kLengthMismatch);
  if (read.ok()) CheckReadPackage(file, read);
}

void ParseContent(std::span<const std::uint8_t> content) {
  // Any content, as a gzip member of its own, read as a package.
  Bytes payload;
  ParallelGzip gzip([&](std::span<const std::uint8_t> bytes) {
    payload.insert(payload.end(), bytes.begin(), bytes.end());
    return true;
  }, {.threads = 1});
  FUZZ_CHECK(gzip.Put(content) && gzip.Finish());
  const Bytes packed = Signed(payload);
  const PackageView parsed = ViewSignedPackage(packed, PublicKey(), kLimits);
  if (!parsed.ok()) return;
  FileMap files;
  for (const RecordView& record : parsed.records) {
    files[std::string(record.name)] = Bytes(record.data.begin(), record.data.end());
  }
  FUZZ_CHECK(files.size() == parsed.records.size());
  const Bytes file = Signed(PackFiles(files));
  const PackageReadResult read = ReadSignedPackage(file, PublicKey(), kLimits);
  FUZZ_CHECK(read.ok() && SameRecords(read.records, parsed.records));
  CheckReadPackage(file, read);
}

}  // namespace
}  // namespace rigwright

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::span<const std::uint8_t> rest(data + 1, size - 1);
  switch (data[0] % 3) {
    case 0:
      rigwright::ReadWholeFile(rest);
      break;
    case 1:
      rigwright::ReadSignedPayload(rest);
      break;
    default:
      rigwright::ParseContent(rest);
      break;
  }
  return 0;
}
