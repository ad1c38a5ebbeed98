#include "wrapper/machine/file_bytes.h"

namespace rigwright {
namespace {

constexpr std::uint64_t kFileSizeLimit = std::uint64_t{1} << 32;

void SetWhy(std::string* why, const FileForReading& file) {
  if (why) *why = WhyNotOpened(file);
}

}  // namespace

std::string WhyNotOpened(const FileForReading& file) {
  return file.failure() == FileForReading::Failure::kNotRegular ? "it " + file.error()
                                                                : file.error();
}

bool FileCanBeOpened(const std::filesystem::path& path, std::string* why) {
  FileForReading file;
  const bool opened = file.Open(path);
  if (!opened) SetWhy(why, file);
  return opened;
}

int ReadFileBytes(const std::filesystem::path& path, Bytes& into, std::string* why) {
  FileForReading file;
  if (!file.Open(path)) {
    SetWhy(why, file);
    return kFileCannotBeOpened;
  }
  if (file.size() >= kFileSizeLimit) return kFileTooLarge;
  if (file.size() == 0) return kFileEmpty;
  Bytes bytes(static_cast<std::size_t>(file.size()));
  for (std::size_t at = 0; at < bytes.size();) {
    const std::int64_t got = file.Read(std::span(bytes).subspan(at));
    if (got <= 0) {
      if (why) *why = got < 0 ? file.error() : "it became shorter while it was read";
      return kFileStreamFailed;
    }
    at += static_cast<std::size_t>(got);
  }
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

std::string ReadFailureText(int result, const std::string& why) {
  return ReadFileResultText(result) + (why.empty() ? "" : ": " + why);
}

}  // namespace rigwright
