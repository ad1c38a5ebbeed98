// Where a package's time goes: times each stage of writing one, alone on one thread, over the
// given model files, then the whole writer as an export runs it. Run by hand (numbers in
// docs/benchmarks.md), not a test; Linux only (it reads the thread's processor time).
//
//   package_stages_perftest <output folder> <model file>...
#include <cryptopp/cpu.h>
#include <libdeflate.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <time.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/file_write.h"
#include "wrapper/package/deflate_blocks.h"
#include "wrapper/package/package_writer.h"

namespace {

using rigwright::Bytes;
using Clock = std::chrono::steady_clock;

// Stages are timed in the processor time of this thread, so that other programs sharing the
// processors do not count.
double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}
double Since(double start) { return ThreadSeconds() - start; }
double WallSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}
double ProcessorSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

class FileOutput : public rigwright::PackageOutput {
 public:
  explicit FileOutput(rigwright::NewFile& file) : file_(file) {}
  bool Write(std::span<const std::uint8_t> bytes) override { return file_.Write(bytes); }
  bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
    return file_.WriteAt(offset, bytes);
  }

 private:
  rigwright::NewFile& file_;
};

void Row(const char* stage, double seconds, double total) {
  std::printf("| %s | %.3f s | %.0f%% |\n", stage, seconds, total > 0 ? 100 * seconds / total : 0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <output folder> <model file>...\n", argv[0]);
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::vector<std::string> models(argv + 2, argv + argc);
  std::string error;
  auto signer = rigwright::PackageSigner::Create(&error);
  if (!signer) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }

  // Reading, as the export reads: 1 MiB slices from the page cache into one reused buffer. The
  // content is then held whole for the stages after, untimed.
  Bytes slice(1 << 20);
  const auto readAll = [&](Bytes* into) {
    for (const std::string& model : models) {
      std::ifstream in(model, std::ios::binary);
      while (in.read(reinterpret_cast<char*>(slice.data()),
                     static_cast<std::streamsize>(slice.size())) ||
             in.gcount() > 0) {
        if (into) into->insert(into->end(), slice.begin(), slice.begin() + in.gcount());
      }
    }
  };
  Bytes content;
  readAll(&content);
  auto start = ThreadSeconds();
  readAll(nullptr);
  const double read = Since(start);

  libdeflate_compressor* compressor = libdeflate_alloc_compressor(6);
  const std::size_t chunk = rigwright::kCompressionChunkBytes;
  Bytes pending(chunk), out(libdeflate_deflate_compress_bound(compressor, chunk));
  Bytes compressed;
  double copy = 0, deflate = 0, walk = 0, crc = 0;
  for (std::size_t at = 0; at < content.size(); at += chunk) {
    const std::size_t size = std::min(chunk, content.size() - at);
    start = ThreadSeconds();
    std::copy_n(content.begin() + static_cast<std::ptrdiff_t>(at), size, pending.begin());
    copy += Since(start);
    start = ThreadSeconds();
    volatile std::uint32_t sum = libdeflate_crc32(0, pending.data(), size);
    static_cast<void>(sum);
    crc += Since(start);
    start = ThreadSeconds();
    const std::size_t made =
        libdeflate_deflate_compress(compressor, pending.data(), size, out.data(), out.size());
    deflate += Since(start);
    start = ThreadSeconds();
    if (!rigwright::FindFinalBlock({out.data(), made}, size)) std::fprintf(stderr, "walk failed\n");
    walk += Since(start);
    compressed.insert(compressed.end(), out.begin(), out.begin() + static_cast<std::ptrdiff_t>(made));
  }
  libdeflate_free_compressor(compressor);

  start = ThreadSeconds();
  signer->BeginPayload();
  signer->UpdatePayload(compressed);
  signer->FinishPayload(compressed.size());
  const double sha1 = Since(start);

  const std::filesystem::path scratch = folder / "stages.bin";
  std::filesystem::remove(scratch);
  start = ThreadSeconds();
  rigwright::NewFile file;
  const bool wrote = file.Create(scratch) && file.Write(compressed) && file.Finish();
  const double write = Since(start);
  std::filesystem::remove(scratch);
  if (!wrote) std::fprintf(stderr, "%s\n", file.error().c_str());

  // The whole writer, on every core, into a kept file.
  const std::filesystem::path package = folder / "stages.OrvaneSim";
  std::filesystem::remove(package);
  const double cpuBefore = ProcessorSeconds();
  const Clock::time_point wallStart = Clock::now();
  rigwright::NewFile target;
  bool ok = target.Create(package);
  if (ok) {
    FileOutput output(target);
    ok = rigwright::WriteSignedPackage(
             *signer, output, rigwright::RecordPacker::RecordBytes("models.bin", content.size()), {},
             [&](rigwright::RecordPacker& packer) {
               if (!packer.BeginRecord("models.bin", content.size())) return false;
               for (std::size_t at = 0; at < content.size(); at += slice.size()) {
                 const std::size_t size = std::min(slice.size(), content.size() - at);
                 if (!packer.PutData({content.data() + at, size})) return false;
               }
               return true;
             }) == rigwright::PackageWriteResult::kWritten &&
         target.Finish();
  }
  const double whole = WallSince(wallStart), wholeCpu = ProcessorSeconds() - cpuBefore;
  std::filesystem::remove(package);
  if (!ok) std::fprintf(stderr, "the whole writer failed: %s\n", target.error().c_str());

  const double sum = read + copy + crc + deflate + walk + sha1 + write;
  std::printf("%zu bytes of models, %zu compressed; SHA-1 by the processor's SHA instructions: %s\n\n",
              content.size(), compressed.size(), CryptoPP::HasSHA() ? "yes" : "no");
  std::printf("| Stage, one thread | Processor time | Share |\n|---|---|---|\n");
  Row("read (1 MiB slices, page cache)", read, sum);
  Row("copy into chunks", copy, sum);
  Row("CRC-32", crc, sum);
  Row("deflate (libdeflate level 6)", deflate, sum);
  Row("walk to the final block", walk, sum);
  Row("SHA-1 of the payload", sha1, sum);
  Row("write and flush", write, sum);
  Row("all stages", sum, sum);
  std::printf("\nThe whole writer: %.3f s wall, %.3f s processor (%.2f of the stages' sum)\n", whole,
              wholeCpu, sum > 0 ? wholeCpu / sum : 0);
  return ok && wrote ? 0 : 1;
}
