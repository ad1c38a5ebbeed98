#include "wrapper/package/parallel_gzip.h"

#include <zlib.h>

#include <algorithm>
#include <optional>

namespace rigwright {
namespace {

constexpr int kDeflateLevel = 6;
constexpr int kWindowBits = 15;  // 32 KiB
constexpr int kMemoryLevel = 8;  // zlib's default, as for a single-stream level-6 deflate
constexpr std::size_t kWindowBytes = std::size_t{1} << kWindowBits;
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

// One raw deflate stream per thread, reset for every chunk: setting one up allocates and clears
// a few hundred KiB, which would otherwise be paid per chunk.
class ParallelGzip::Deflater {
 public:
  Deflater() {
    ok_ = deflateInit2(&z_, kDeflateLevel, Z_DEFLATED, -kWindowBits, kMemoryLevel,
                       Z_DEFAULT_STRATEGY) == Z_OK;
  }
  ~Deflater() {
    if (ok_) deflateEnd(&z_);
  }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  // Deflates `data` primed with `dictionary` into `out`, ended with a sync flush (a byte
  // boundary) or, for the last chunk, with the final block. Returns the bytes written, or
  // nothing when zlib fails.
  std::optional<std::size_t> Deflate(std::span<const std::uint8_t> data,
                                     std::span<const std::uint8_t> dictionary, bool last,
                                     Bytes& out) {
    if (!ok_ || deflateReset(&z_) != Z_OK) return std::nullopt;
    if (!dictionary.empty() && deflateSetDictionary(&z_, dictionary.data(),
                                                    static_cast<uInt>(dictionary.size())) != Z_OK) {
      return std::nullopt;
    }
    // The bound covers the data; a sync flush adds at most a few bytes more.
    EnsureSize(out, deflateBound(&z_, static_cast<uLong>(data.size())) + 16);
    z_.next_in = const_cast<Bytef*>(data.data());
    z_.avail_in = static_cast<uInt>(data.size());
    const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
    for (;;) {
      z_.next_out = out.data() + z_.total_out;
      z_.avail_out = static_cast<uInt>(out.size() - z_.total_out);
      const int status = deflate(&z_, flush);
      if (status == Z_STREAM_ERROR) return std::nullopt;
      if (status == Z_STREAM_END || (!last && z_.avail_in == 0 && z_.avail_out > 0)) break;
      out.resize(out.size() * 2);
    }
    return static_cast<std::size_t>(z_.total_out);
  }

 private:
  z_stream z_{};
  bool ok_ = false;
};

struct ParallelGzip::Chunk {
  Bytes content;
  Bytes dictionary;
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
  chunk->crc =
      static_cast<std::uint32_t>(crc32(0, content.data(), static_cast<uInt>(content.size())));
  chunk->ok = true;
  if (chunk->kind == ContentKind::kCompressible) {
    const std::optional<std::size_t> size =
        deflater.Deflate(content, chunk->dictionary, chunk->last, chunk->compressed);
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
  chunk->dictionary = dictionary_;
  // The next chunk's dictionary: the window of content that ends where this chunk ends.
  if (pending_.size() >= kWindowBytes) {
    dictionary_.assign(pending_.end() - kWindowBytes, pending_.end());
  } else {
    dictionary_.insert(dictionary_.end(), pending_.begin(), pending_.end());
    if (dictionary_.size() > kWindowBytes) {
      dictionary_.erase(dictionary_.begin(), dictionary_.end() - kWindowBytes);
    }
  }
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
