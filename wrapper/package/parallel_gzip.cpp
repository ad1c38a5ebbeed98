#include "wrapper/package/parallel_gzip.h"

#include <zlib.h>

#include <algorithm>

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

// Deflate stored blocks holding `data`. Every chunk starts on a byte boundary, so a stored
// block's three header bits are its whole first byte; the last block of the last chunk is marked
// final.
Bytes StoredBlocks(std::span<const std::uint8_t> data, bool last) {
  Bytes out;
  out.reserve(StoredSize(data.size()));
  do {
    const std::size_t length = std::min(data.size(), kMaxStoredBlock);
    const bool final = last && length == data.size();
    out.push_back(final ? 1 : 0);
    out.push_back(static_cast<std::uint8_t>(length));
    out.push_back(static_cast<std::uint8_t>(length >> 8));
    out.push_back(static_cast<std::uint8_t>(~length));
    out.push_back(static_cast<std::uint8_t>(~length >> 8));
    out.insert(out.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(length));
    data = data.subspan(length);
  } while (!data.empty());
  return out;
}

// Raw deflate of `data` primed with `dictionary`, ended with a sync flush (a byte boundary) or,
// for the last chunk, with the final block. False when zlib fails.
bool DeflateChunk(std::span<const std::uint8_t> data, std::span<const std::uint8_t> dictionary,
                  bool last, Bytes& out) {
  z_stream z{};
  if (deflateInit2(&z, kDeflateLevel, Z_DEFLATED, -kWindowBits, kMemoryLevel, Z_DEFAULT_STRATEGY) !=
      Z_OK) {
    return false;
  }
  bool ok =
      dictionary.empty() ||
      deflateSetDictionary(&z, dictionary.data(), static_cast<uInt>(dictionary.size())) == Z_OK;
  // The bound covers the data; a sync flush adds at most a few bytes more.
  out.resize(deflateBound(&z, static_cast<uLong>(data.size())) + 16);
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
  int status = Z_OK;
  while (ok) {
    z.next_out = out.data() + z.total_out;
    z.avail_out = static_cast<uInt>(out.size() - z.total_out);
    status = deflate(&z, flush);
    if (status == Z_STREAM_ERROR) ok = false;
    if (status == Z_STREAM_END || (!last && z.avail_in == 0 && z.avail_out > 0)) break;
    out.resize(out.size() * 2);
  }
  out.resize(z.total_out);
  deflateEnd(&z);
  return ok;
}

}  // namespace

struct ParallelGzip::Chunk {
  Bytes content;
  Bytes dictionary;
  ContentKind kind = ContentKind::kCompressible;
  bool last = false;

  Bytes compressed;
  std::size_t contentBytes = 0;
  std::uint32_t crc = 0;
  bool ok = true;
  bool done = false;  // guarded by the compressor's mutex
};

namespace {

void Compress(ParallelGzip::Chunk* chunk) {
  const std::span<const std::uint8_t> content(chunk->content);
  chunk->contentBytes = content.size();
  chunk->crc =
      static_cast<std::uint32_t>(crc32(0, content.data(), static_cast<uInt>(content.size())));
  if (chunk->kind == ContentKind::kCompressible) {
    chunk->ok = DeflateChunk(content, chunk->dictionary, chunk->last, chunk->compressed);
    // Data that does not shrink is kept as it is, as a single-stream compressor would.
    if (chunk->ok && chunk->compressed.size() < StoredSize(content.size())) {
      chunk->content = {};
      return;
    }
  }
  chunk->compressed = StoredBlocks(content, chunk->last);
  chunk->content = {};
}

}  // namespace

ParallelGzip::ParallelGzip(CompressedSink sink, CompressionOptions options)
    : sink_(std::move(sink)),
      threads_(options.threads != 0 ? options.threads
                                    : std::max(1u, std::thread::hardware_concurrency())) {
  pending_.reserve(kCompressionChunkBytes);
  // With one thread every chunk is compressed on the calling thread.
  if (threads_ <= 1) return;
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
  for (;;) {
    Chunk* chunk = nullptr;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      workToDo_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      chunk = queue_.front();
      queue_.pop_front();
    }
    Compress(chunk);
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
  auto chunk = std::make_unique<Chunk>();
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
  chunk->content = std::move(pending_);
  pending_ = {};
  pending_.reserve(kCompressionChunkBytes);
  Chunk* submitted = chunk.get();
  inFlight_.push_back(std::move(chunk));
  if (workers_.empty()) {
    Compress(submitted);
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
    const std::unique_ptr<Chunk> chunk = std::move(inFlight_.front());
    inFlight_.pop_front();
    if (!chunk->ok) ok_ = false;
    crc_ = static_cast<std::uint32_t>(
        crc32_combine(crc_, chunk->crc, static_cast<z_off_t>(chunk->contentBytes)));
    if (!Emit(chunk->compressed)) return false;
  }
  return ok_;
}

}  // namespace rigwright
