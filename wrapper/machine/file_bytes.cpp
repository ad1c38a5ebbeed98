#include "wrapper/machine/file_bytes.h"

#include <fstream>
#include <system_error>

namespace rigwright {
namespace {

constexpr std::uint64_t kFileSizeLimit = std::uint64_t{1} << 32;

}  // namespace

bool FileCanBeOpened(const std::filesystem::path& path) {
  // Checked before opening: opening a FIFO waits for a writer, and a device may never end.
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return false;
  std::ifstream in(path, std::ios::binary);
  return in.good();
}

int ReadFileBytes(const std::filesystem::path& path, Bytes& into) {
  if (!FileCanBeOpened(path)) return kFileCannotBeOpened;
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return kFileStreamFailed;
  const std::streamoff size = in.tellg();
  if (size < 0) return kFileStreamFailed;
  if (static_cast<std::uint64_t>(size) >= kFileSizeLimit) return kFileTooLarge;
  if (size == 0) return kFileEmpty;
  Bytes bytes(static_cast<std::size_t>(size));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), size);
  if (!in || in.gcount() != size) return kFileStreamFailed;
  into = std::move(bytes);
  return kFileRead;
}

std::string ReadFileResultText(int result) {
  switch (result) {
    case kFileRead: return "was read";
    case kFileCannotBeOpened: return "cannot be opened";
    case kFileStreamFailed: return "cannot be read";
    case kFileTooLarge: return "is 4 GiB or larger";
    case kFileEmpty: return "is empty";
  }
  return "cannot be read (result " + std::to_string(result) + ")";
}

}  // namespace rigwright
