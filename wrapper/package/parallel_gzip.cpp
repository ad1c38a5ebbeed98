#include "wrapper/package/parallel_gzip.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <optional>

#include "wrapper/package/deflate_blocks.h"

namespace rigwright {
namespace {

// libdeflate's level 6: its own trade of speed for size, near zlib's level 6 in size.
constexpr int kDeflateLevel = 6;
// The fixed header of every payload: deflate, no flags, no time stamp, no extra flags, OS 0.
constexpr std::uint8_t kGzipHeader[] = {0x1F, 0x8B, 0x08, 0, 0, 0, 0, 0, 0, 0};
constexpr std::size_t kMaxStoredBlock = 65535;
constexpr std::size_t kStoredBlockOverhead = 5;  // header byte, LEN, NLEN
constexpr std::size_t kQueuedChunksPerWorker = 4;

std::size_t StoredSize(std::size_t bytes) {
  const std::size_t blocks =
      std::max<std::size_t>(1, (bytes + kMaxStoredBlock - 1) / kMaxStoredBlock);
  return bytes + blocks * kStoredBlockOverhead;
}

// Writes deflate stored blocks holding `data` into `out` (sized by the caller) and returns the
// bytes written. Every chunk starts on a byte boundary, so a stored block's three header bits are
// its whole first byte; the last block of the last chunk is marked final.
std::size_t WriteStoredBlocks(std::span<const std::uint8_t> data, bool last, std::uint8_t* out) {
  std::uint8_t* const start = out;
  do {
    const std::size_t length = std::min(data.size(), kMaxStoredBlock);
    const bool final = last && length == data.size();
    *out++ = final ? 1 : 0;
    *out++ = static_cast<std::uint8_t>(length);
    *out++ = static_cast<std::uint8_t>(length >> 8);
    *out++ = static_cast<std::uint8_t>(~length);
    *out++ = static_cast<std::uint8_t>(~length >> 8);
    out = std::copy_n(data.begin(), length, out);
    data = data.subspan(length);
  } while (!data.empty());
  return static_cast<std::size_t>(out - start);
}

// Grows `buffer` to at least `size` bytes. Buffers are reused chunk after chunk, so this zeroes
// and faults in their pages once, not for every chunk.
void EnsureSize(Bytes& buffer, std::size_t size) {
  if (buffer.size() < size) buffer.resize(size);
}

}  // namespace

// A libdeflate compressor per thread. libdeflate compresses whole buffers only, without a preset
// dictionary, and ends every buffer with a block marked final; a chunk that is not the last must
// lose that mark and end on a byte boundary, so that the chunks make one deflate stream.
class ParallelGzip::Deflater {
 public:
  Deflater() : compressor_(libdeflate_alloc_compressor(kDeflateLevel)) {}
  ~Deflater() {
    if (compressor_ != nullptr) libdeflate_free_compressor(compressor_);
  }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  // Deflates `data` on its own into `out`. The last chunk keeps its final block; any other ends
  // joinable (see Join). Returns the bytes written, or nothing on failure.
  std::optional<std::size_t> Deflate(std::span<const std::uint8_t> data, bool last, Bytes& out) {
    if (compressor_ == nullptr) return std::nullopt;
    EnsureSize(out, libdeflate_deflate_compress_bound(compressor_, data.size()) + kJoinBytes);
    const std::size_t size =
        libdeflate_deflate_compress(compressor_, data.data(), data.size(), out.data(), out.size());
    if (size == 0) return std::nullopt;
    if (last) return size;
    return Join(data.size(), out, size);
  }

 private:
  // At most this much is added after a chunk's data: an empty stored block whose three header
  // bits do not fit in the last byte's padding.
  static constexpr std::size_t kJoinBytes = 5;

  // Clears the final mark of the deflate data `out[0, size)` of `contentBytes` bytes and, if the
  // final block does not end on a byte boundary, adds an empty stored block, which fills the byte
  // up. Only decoding finds where a block starts and ends; the walk over the chunk's blocks also
  // checks that they give back its whole content.
  static std::optional<std::size_t> Join(std::size_t contentBytes, Bytes& out, std::size_t size) {
    const std::optional<FinalBlock> final =
        FindFinalBlock(std::span<const std::uint8_t>(out.data(), size), contentBytes);
    if (!final) return std::nullopt;
    out[final->headerByte] &= static_cast<std::uint8_t>(~(1u << final->headerBit));
    if (final->paddingBits == 0) return size;
    // A stored block's header is three zero bits, then the rest of its byte is skipped: in the
    // padding when it has room, else in one more byte. LEN 0 and NLEN follow.
    static constexpr std::uint8_t kEmptyStored[] = {0, 0, 0, 0xFF, 0xFF};
    const std::size_t skip = final->paddingBits >= 3 ? 1 : 0;
    std::copy(std::begin(kEmptyStored) + skip, std::end(kEmptyStored), out.begin() + size);
    return size + sizeof kEmptyStored - skip;
  }

  libdeflate_compressor* compressor_;
};

struct ParallelGzip::Chunk {
  Bytes content;
  ContentKind kind = ContentKind::kCompressible;
  bool last = false;

  Bytes compressed;  // the first `compressedSize` bytes hold the chunk's deflate data
  std::size_t compressedSize = 0;
  std::size_t contentBytes = 0;
  std::uint32_t crc = 0;
  bool ok = true;
  bool done = false;  // guarded by the compressor's mutex
};

namespace {

void Compress(ParallelGzip::Chunk* chunk, ParallelGzip::Deflater& deflater) {
  const std::span<const std::uint8_t> content(chunk->content);
  chunk->contentBytes = content.size();
  chunk->crc = libdeflate_crc32(0, content.data(), content.size());
  chunk->ok = true;
  if (chunk->kind == ContentKind::kCompressible) {
    const std::optional<std::size_t> size =
        deflater.Deflate(content, chunk->last, chunk->compressed);
    chunk->ok = size.has_value();
    // Data that does not shrink is kept as it is, as a single-stream compressor would.
    if (size && *size < StoredSize(content.size())) {
      chunk->compressedSize = *size;
      return;
    }
  }
  EnsureSize(chunk->compressed, StoredSize(content.size()));
  chunk->compressedSize = WriteStoredBlocks(content, chunk->last, chunk->compressed.data());
}

}  // namespace

ParallelGzip::ParallelGzip(CompressedSink sink, CompressionOptions options)
    : sink_(std::move(sink)),
      threads_(options.threads != 0 ? options.threads
                                    : std::max(1u, std::thread::hardware_concurrency())) {
  pending_.reserve(kCompressionChunkBytes);
  // With one thread every chunk is compressed on the calling thread.
  if (threads_ <= 1) {
    callerDeflater_ = std::make_unique<Deflater>();
    return;
  }
  try {
    for (unsigned i = 0; i < threads_; ++i) workers_.emplace_back([this] { Work(); });
  } catch (...) {
    // No destructor runs for a constructor that throws: the workers started must end here.
    StopWorkers();
    throw;
  }
}

ParallelGzip::~ParallelGzip() { StopWorkers(); }

void ParallelGzip::StopWorkers() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  workToDo_.notify_all();
  for (std::thread& worker : workers_) worker.join();
  workers_.clear();
}

void ParallelGzip::Work() {
  Deflater deflater;
  for (;;) {
    Chunk* chunk = nullptr;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      workToDo_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      chunk = queue_.front();
      queue_.pop_front();
    }
    Compress(chunk, deflater);
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      chunk->done = true;
    }
    chunkDone_.notify_all();
  }
}

bool ParallelGzip::Put(std::span<const std::uint8_t> content, ContentKind kind) {
  if (!ok_) return false;
  if (kind != kind_ && !pending_.empty() && !Submit(false)) return false;
  kind_ = kind;
  while (!content.empty()) {
    const std::size_t room = kCompressionChunkBytes - pending_.size();
    const std::size_t take = std::min(room, content.size());
    pending_.insert(pending_.end(), content.begin(),
                    content.begin() + static_cast<std::ptrdiff_t>(take));
    content = content.subspan(take);
    contentBytes_ += take;
    if (pending_.size() == kCompressionChunkBytes && !Submit(false)) return false;
  }
  return ok_;
}

bool ParallelGzip::Finish() {
  if (!ok_ || !Submit(true) || !Drain(0)) return false;
  std::uint8_t trailer[8];
  WriteUint32(trailer, crc_);
  WriteUint32(trailer + 4, static_cast<std::uint32_t>(contentBytes_));
  return Emit(trailer);
}

bool ParallelGzip::Emit(std::span<const std::uint8_t> bytes) {
  compressedBytes_ += bytes.size();
  if (ok_ && !sink_(bytes)) ok_ = false;
  return ok_;
}

bool ParallelGzip::Submit(bool last) {
  if (!headerWritten_) {
    headerWritten_ = true;
    if (!Emit(kGzipHeader)) return false;
  }
  std::unique_ptr<Chunk> chunk;
  if (spare_.empty()) {
    chunk = std::make_unique<Chunk>();
  } else {
    chunk = std::move(spare_.back());
    spare_.pop_back();
  }
  chunk->done = false;
  chunk->kind = kind_;
  chunk->last = last;
  // The chunk takes the content; the buffer it held before (kept from an earlier chunk) is
  // filled next.
  std::swap(chunk->content, pending_);
  pending_.clear();
  pending_.reserve(kCompressionChunkBytes);
  Chunk* submitted = chunk.get();
  inFlight_.push_back(std::move(chunk));
  if (workers_.empty()) {
    Compress(submitted, *callerDeflater_);
    submitted->done = true;
    return Drain(0);
  }
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(submitted);
  }
  workToDo_.notify_one();
  // Several chunks queued per worker keep every worker busy while this thread waits to be
  // scheduled on a loaded machine, reads on or writes out.
  return Drain(kQueuedChunksPerWorker * threads_);
}

bool ParallelGzip::Drain(std::size_t keepInFlight) {
  while (inFlight_.size() > keepInFlight) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      chunkDone_.wait(lock, [this] { return inFlight_.front()->done; });
    }
    std::unique_ptr<Chunk> chunk = std::move(inFlight_.front());
    inFlight_.pop_front();
    if (!chunk->ok) ok_ = false;
    crc_ = static_cast<std::uint32_t>(
        crc32_combine(crc_, chunk->crc, static_cast<z_off_t>(chunk->contentBytes)));
    const bool emitted =
        Emit(std::span<const std::uint8_t>(chunk->compressed.data(), chunk->compressedSize));
    spare_.push_back(std::move(chunk));
    if (!emitted) return false;
  }
  return ok_;
}

}  // namespace rigwright
