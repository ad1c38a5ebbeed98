#include "wrapper/package/package_stream.h"

#include <cryptopp/rsa.h>
#include <cryptopp/sha.h>
#include <zlib.h>

#include <algorithm>

#include "wrapper/package/input_file.h"

namespace rigwright {
namespace {

constexpr std::size_t kGzipHeaderBytes = 10;
constexpr std::size_t kInflateBytes = 1 << 16;

using Verifier = CryptoPP::RSASS<CryptoPP::PKCS1v15, CryptoPP::SHA1>::Verifier;

PackageReadStatus Failure(PackageError error, std::string detail) {
  PackageReadStatus status;
  status.error = error;
  status.detail = std::move(detail);
  return status;
}

// Splits content, as it is inflated, into records and checks the record rules on the way.
class RecordParser {
 public:
  explicit RecordParser(RecordSink& sink) : sink_(sink) {}

  // False when a rule is broken (see status()) or the sink stopped.
  bool Take(std::span<const std::uint8_t> content) {
    while (!content.empty()) {
      if (inData_) {
        const std::size_t take =
            static_cast<std::size_t>(std::min<std::uint64_t>(left_, content.size()));
        if (!sink_.RecordData(content.first(take))) return Stop();
        content = content.subspan(take);
        offset_ += take;
        left_ -= take;
        if (left_ == 0 && !EndRecord()) return false;
        continue;
      }
      const std::size_t want = static_cast<std::size_t>(fieldsWanted() - fields_.size());
      const std::size_t take = std::min(want, content.size());
      fields_.insert(fields_.end(), content.begin(),
                     content.begin() + static_cast<std::ptrdiff_t>(take));
      content = content.subspan(take);
      offset_ += take;
      if (fields_.size() == fieldsWanted() && !FieldsComplete()) return false;
    }
    return true;
  }

  // Checks that the content ended on a record boundary.
  bool End() {
    if (status_.ok() && !stopped_ && (inData_ || !fields_.empty())) {
      status_ =
          Failure(PackageError::kTruncatedRecord,
                  Where() + (!haveLengths_ && !inData_ ? ": fields cut short"
                                                       : ": runs past the end of the content"));
    }
    return status_.ok();
  }

  const PackageReadStatus& status() const { return status_; }
  bool stopped() const { return stopped_; }
  std::size_t records() const { return records_; }

 private:
  std::uint64_t fieldsWanted() const {
    return haveLengths_ ? 8 + std::uint64_t{nameLength_} + 1 : 8;
  }

  std::string Where() const {
    return "record " + std::to_string(records_ + 1) + " at content offset " +
           std::to_string(recordStart_);
  }

  bool Broken(PackageError error, std::string detail) {
    status_ = Failure(error, Where() + ": " + std::move(detail));
    return false;
  }

  bool Stop() {
    stopped_ = true;
    return false;
  }

  bool FieldsComplete() {
    if (!haveLengths_) {
      haveLengths_ = true;
      length_ = ReadUint32(&fields_[0]);
      nameLength_ = ReadUint32(&fields_[4]);
      if (length_ < FileRecord::kOverheadBytes + std::uint64_t{nameLength_}) {
        return Broken(PackageError::kBadRecordLength,
                      "length " + std::to_string(length_) + " is less than 9 + name length");
      }
      // Refused before any of the name is held.
      if (nameLength_ > FileRecord::kMaxNameBytes) {
        return Broken(PackageError::kNameTooLong, NameTooLong(nameLength_));
      }
      return true;  // the name follows
    }
    if (fields_.back() != 0)
      return Broken(PackageError::kNameNotTerminated, "name not followed by NUL");
    const std::string_view name(reinterpret_cast<const char*>(&fields_[8]), nameLength_);
    if (records_ > 0 && !(previous_ < name)) {
      return Broken(PackageError::kNamesNotAscending, "\"" + PrintableName(name) +
                                                          "\" does not sort after \"" +
                                                          PrintableName(previous_) + "\"");
    }
    left_ = length_ - FileRecord::kOverheadBytes - nameLength_;
    if (!sink_.BeginRecord(name, left_)) return Stop();
    previous_.assign(name);
    fields_.clear();
    haveLengths_ = false;
    inData_ = true;
    return left_ != 0 || EndRecord();
  }

  bool EndRecord() {
    inData_ = false;
    ++records_;
    recordStart_ = offset_;
    return sink_.EndRecord() || Stop();
  }

  RecordSink& sink_;
  PackageReadStatus status_;
  bool stopped_ = false;
  Bytes fields_;              // L, n, then the name and its NUL
  bool haveLengths_ = false;  // L and n are read; the name is coming
  bool inData_ = false;
  std::uint32_t length_ = 0;
  std::uint32_t nameLength_ = 0;
  std::uint64_t left_ = 0;  // data bytes of the current record still to come
  std::string previous_;
  std::size_t records_ = 0;
  std::uint64_t offset_ = 0;
  std::uint64_t recordStart_ = 0;
};

}  // namespace

struct PackageStreamReader::State {
  State(std::uint64_t fileBytes, const CryptoPP::RSAFunction* key, RecordSink& sink,
        const PackageReadLimits& limits)
      : fileBytes(fileBytes), key(key), parser(sink), limits(limits) {}
  ~State() {
    if (inflating) inflateEnd(&z);
  }

  std::uint64_t fileBytes;
  const CryptoPP::RSAFunction* key;
  RecordParser parser;
  PackageReadLimits limits;

  std::uint64_t fed = 0;       // bytes given to Feed, up to fileBytes
  std::uint64_t position = 0;  // bytes of the header and signature taken
  Bytes head;                  // the 12 header bytes, then (with a key) the signature
  SignedPackage header;
  PackageReadStatus layout;  // a broken header rule: nothing after it is read
  bool layoutChecked = false;
  std::unique_ptr<Verifier> verifier;
  std::unique_ptr<CryptoPP::PK_MessageAccumulator> hash;

  Bytes gzipHeader;
  PackageReadStatus content;  // the first broken rule of the payload and content
  z_stream z{};
  bool inflating = false;
  bool ended = false;  // the gzip member ended
  std::uint64_t afterMember = 0;
  std::uint64_t contentBytes = 0;
  Bytes out = Bytes(kInflateBytes);

  std::uint64_t payloadStart() const {
    return SignedPackage::kHeaderBytes + std::uint64_t{header.signatureLength};
  }
  bool contentFailed() const { return !content.ok() || parser.stopped(); }

  void CheckLayout() {
    layoutChecked = true;
    header = {ReadUint32(&head[0]), ReadUint32(&head[4]), ReadUint32(&head[8])};
    if (header.reserved != 0) {
      layout = Failure(PackageError::kReservedNotZero, "the reserved field is not 0");
      return;
    }
    const std::size_t modulus = key ? key->GetModulus().ByteCount() : 0;
    if (key && header.signatureLength != modulus) {
      layout = Failure(PackageError::kSignatureLengthMismatch,
                       "signature length " + std::to_string(header.signatureLength) +
                           " differs from the key's " + std::to_string(modulus));
      return;
    }
    const std::uint64_t expected = payloadStart() + header.payloadLength;
    if (expected > fileBytes) {
      // A file cut short, as by a copy or download that stopped: said so, with how much is there.
      layout = Failure(PackageError::kLengthMismatch, "truncated (" + std::to_string(fileBytes) +
                                                          " of " + std::to_string(expected) +
                                                          " bytes)");
    } else if (expected != fileBytes) {
      layout = Failure(PackageError::kLengthMismatch,
                       "the header promises " + std::to_string(expected) + " bytes, the file has " +
                           std::to_string(fileBytes));
    }
  }

  // Header and signature bytes: the header is checked once whole; the signature is kept only
  // when it is to be checked.
  void TakeHead(std::span<const std::uint8_t>& bytes) {
    const std::uint64_t end = layoutChecked ? payloadStart() : SignedPackage::kHeaderBytes;
    const std::size_t take =
        static_cast<std::size_t>(std::min<std::uint64_t>(end - position, bytes.size()));
    if (!layoutChecked || key) {
      head.insert(head.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
    }
    bytes = bytes.subspan(take);
    position += take;
    if (!layoutChecked && position == SignedPackage::kHeaderBytes) CheckLayout();
    if (layoutChecked && layout.ok() && key && !verifier && position == payloadStart()) {
      verifier = std::make_unique<Verifier>(*key);
      hash.reset(verifier->NewVerificationAccumulator());
      verifier->InputSignature(*hash, &head[SignedPackage::kHeaderBytes], header.signatureLength);
    }
  }

  void TakePayload(std::span<const std::uint8_t> bytes) {
    if (hash) hash->Update(bytes.data(), bytes.size());
    if (contentFailed()) return;
    if (gzipHeader.size() < kGzipHeaderBytes) {
      const std::size_t take = std::min(kGzipHeaderBytes - gzipHeader.size(), bytes.size());
      gzipHeader.insert(gzipHeader.end(), bytes.begin(),
                        bytes.begin() + static_cast<std::ptrdiff_t>(take));
      if (gzipHeader.size() == std::min<std::uint64_t>(kGzipHeaderBytes, header.payloadLength)) {
        content = CheckGzipHeader(gzipHeader, header.payloadLength);
        if (!content.ok()) return;
        if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) {
          content = Failure(PackageError::kCorruptCompressedData, "cannot start inflating");
          return;
        }
        inflating = true;
        Inflate(gzipHeader);
        bytes = bytes.subspan(take);
      } else {
        return;
      }
    }
    Inflate(bytes);
  }

  void Inflate(std::span<const std::uint8_t> bytes) {
    if (ended) {
      afterMember += bytes.size();
      return;
    }
    z.next_in = const_cast<Bytef*>(bytes.data());
    z.avail_in = static_cast<uInt>(bytes.size());
    while (!contentFailed() && !ended) {
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      const int status = inflate(&z, Z_NO_FLUSH);
      if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
        content = Failure(PackageError::kCorruptCompressedData,
                          std::string("damaged gzip data: ") + (z.msg ? z.msg : "inflate failed"));
        return;
      }
      const std::size_t produced = out.size() - z.avail_out;
      contentBytes += produced;
      if (contentBytes > limits.maxContentBytes) {
        content = Failure(
            PackageError::kContentTooLarge,
            "the content is larger than " + std::to_string(limits.maxContentBytes) + " bytes");
        return;
      }
      if (!parser.Take({out.data(), produced})) {
        if (!parser.status().ok()) content = parser.status();
        return;
      }
      if (status == Z_STREAM_END) {
        ended = true;
        afterMember += z.avail_in;
      } else if (z.avail_in == 0 && z.avail_out != 0) {
        break;  // all input taken and all output given: more input is needed
      }
    }
  }

  // The payload's outcome once all of it was fed.
  PackageReadStatus ContentOutcome() {
    if (!content.ok()) return content;
    if (!inflating) return CheckGzipHeader(gzipHeader, header.payloadLength);
    if (!ended)
      return Failure(PackageError::kCorruptCompressedData, "the gzip member is cut short");
    if (afterMember != 0) {
      return Failure(PackageError::kDataAfterGzipMember,
                     std::to_string(afterMember) + " bytes follow the gzip member");
    }
    parser.End();
    return parser.status();
  }
};

PackageStreamReader::PackageStreamReader(std::uint64_t fileBytes,
                                         const CryptoPP::RSAFunction* publicKey, RecordSink& sink,
                                         const PackageReadLimits& limits)
    : state_(std::make_unique<State>(fileBytes, publicKey, sink, limits)) {}

PackageStreamReader::~PackageStreamReader() = default;

bool PackageStreamReader::Feed(std::span<const std::uint8_t> bytes) {
  State& s = *state_;
  bytes = bytes.first(
      static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), s.fileBytes - s.fed)));
  s.fed += bytes.size();
  if (s.fileBytes < SignedPackage::kHeaderBytes) return false;
  while (!bytes.empty() && (!s.layoutChecked || s.position < s.payloadStart())) {
    s.TakeHead(bytes);
    if (!s.layout.ok()) return false;
  }
  if (!bytes.empty()) s.TakePayload(bytes);
  // Without a key nothing can outrank a broken content rule, so reading may stop there.
  return !(s.parser.stopped() || (!s.key && s.contentFailed()));
}

PackageReadStatus PackageStreamReader::Finish() {
  bool signatureVerifies = true;
  PackageReadStatus status = FinishApartFromSignature(signatureVerifies);
  // The simulator checks the signature first, so a bad one comes before any damage to the
  // content; a package that could not even be laid out, or a sink that stopped, comes first.
  if (!signatureVerifies && status.error != PackageError::kTooShort && !state_->parser.stopped() &&
      state_->layout.ok()) {
    status = Failure(PackageError::kBadSignature, "the signature does not match the payload");
    status.header = state_->header;
  }
  return status;
}

PackageReadStatus PackageStreamReader::FinishApartFromSignature(bool& signatureVerifies) {
  State& s = *state_;
  PackageReadStatus status;
  signatureVerifies =
      !s.key || (s.verifier && s.fed == s.fileBytes && s.verifier->Verify(s.hash.release()));
  if (s.fileBytes < SignedPackage::kHeaderBytes || !s.layoutChecked) {
    status = Failure(PackageError::kTooShort, "shorter than the 12-byte header");
  } else if (!s.layout.ok()) {
    status = s.layout;
  } else if (s.parser.stopped()) {
    status = {};
  } else {
    status = s.ContentOutcome();
  }
  status.header = s.header;
  return status;
}

std::uint64_t PackageStreamReader::contentBytes() const { return state_->contentBytes; }

bool PackageStreamReader::stoppedBySink() const { return state_->parser.stopped(); }

bool StreamPackageFile(const std::filesystem::path& path, const CryptoPP::RSAFunction* publicKey,
                       RecordSink& sink, const PackageReadLimits& limits, PackageReadStatus& status,
                       std::string& ioError, bool* signatureVerifies) {
  InputFile file;
  if (!file.Open(path, ioError)) return false;
  PackageStreamReader reader(file.size(), publicKey, sink, limits);
  Bytes slice(1 << 20);
  for (std::uint64_t left = file.size(); left > 0;) {
    const std::span<std::uint8_t> piece(
        slice.data(), static_cast<std::size_t>(std::min<std::uint64_t>(left, slice.size())));
    if (!file.Read(piece, ioError)) return false;
    left -= piece.size();
    if (!reader.Feed(piece)) break;
  }
  status = signatureVerifies ? reader.FinishApartFromSignature(*signatureVerifies)
                             : reader.Finish();
  return true;
}

}  // namespace rigwright
