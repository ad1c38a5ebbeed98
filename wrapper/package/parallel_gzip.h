// The one compressor of package payloads: a single gzip member whose deflate data is made on all
// cores. The content is cut into chunks; each chunk is deflated on its own by libdeflate (level 6,
// 32 KiB window), and every chunk but the last loses its final mark and ends on a byte boundary,
// so the chunks join into one deflate stream that any inflater reads as if made in one piece.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "wrapper/package/file_map.h"

namespace rigwright {

// Content is compressed in chunks of this many bytes (the last one may be shorter). Each chunk
// starts without the window of the one before; at this size that costs under 0.01% of the
// compressed size on model data, and a few chunks in flight per core keep memory small.
inline constexpr std::size_t kCompressionChunkBytes = std::size_t{1} << 19;

// How a stretch of content is to be compressed.
enum class ContentKind {
  kCompressible,    // deflated; a chunk that does not shrink is stored instead
  kIncompressible,  // already compressed (a nested package): stored without a deflate attempt
};

struct CompressionOptions {
  unsigned threads = 0;  // 0: one per core. 1: everything on the calling thread.
};

// Receives the compressed bytes in order. Returning false stops the compression.
using CompressedSink = std::function<bool(std::span<const std::uint8_t>)>;

class ParallelGzip {
 public:
  explicit ParallelGzip(CompressedSink sink, CompressionOptions options = {});
  ~ParallelGzip();
  ParallelGzip(const ParallelGzip&) = delete;
  ParallelGzip& operator=(const ParallelGzip&) = delete;

  // Adds content. False once the sink refused bytes or the compressor failed; nothing further is
  // then compressed.
  bool Put(std::span<const std::uint8_t> content, ContentKind kind = ContentKind::kCompressible);
  // Compresses what is left and ends the member with its CRC-32 and length.
  bool Finish();

  std::uint64_t contentBytes() const { return contentBytes_; }
  std::uint64_t compressedBytes() const { return compressedBytes_; }

  struct Chunk;
  class Deflater;

 private:
  bool Emit(std::span<const std::uint8_t> bytes);
  bool Submit(bool last);
  bool Drain(std::size_t keepInFlight);
  void Work();
  void StopWorkers();

  CompressedSink sink_;
  unsigned threads_;
  bool ok_ = true;
  bool headerWritten_ = false;
  ContentKind kind_ = ContentKind::kCompressible;
  Bytes pending_;     // content of the chunk being filled
  // Chunks submitted and not yet handed to the sink, in content order. The workers live as long
  // as the compressor: a thread started per chunk would wait for the scheduler each time.
  std::deque<std::unique_ptr<Chunk>> inFlight_;
  std::deque<Chunk*> queue_;  // submitted chunks no worker has taken yet
  // Chunks already handed to the sink, kept with their buffers for the next ones: fresh buffers
  // for every chunk would cost their page faults and clearing again and again.
  std::vector<std::unique_ptr<Chunk>> spare_;
  std::unique_ptr<Deflater> callerDeflater_;  // with one thread only
  std::mutex mutex_;
  std::condition_variable workToDo_;
  std::condition_variable chunkDone_;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
  std::uint32_t crc_ = 0;
  std::uint64_t contentBytes_ = 0;
  std::uint64_t compressedBytes_ = 0;
};

}  // namespace rigwright
