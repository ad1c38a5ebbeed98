#include "common/machine_library_seed.h"

#include <cerrno>
#include <exception>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "common/path_text.h"
#include "platform/file_write.h"

namespace rigwright {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kMachineExtension = ".mcfg";

bool Fail(std::string* error, const std::string& what, const fs::path& path,
          const std::error_code& code) {
  *error = what + " " + Utf8FromPath(path) + ": " + code.message();
  return false;
}

bool CopyTree(const fs::path& source, const fs::path& target, std::string* error);

// Reads a regular file whole. Anything else is refused before it is opened: a folder cannot be
// read as a file, and a FIFO or device could block or never end. Read errors become a failure,
// never an exception (the stream buffer's iterators would throw them).
bool ReadWholeFile(const fs::path& file, std::vector<std::uint8_t>* bytes, std::string* error) {
  std::error_code code;
  const fs::file_status status = fs::status(file, code);
  if (code) return Fail(error, "cannot read", file, code);
  if (!fs::is_regular_file(status)) {
    *error = "cannot copy " + Utf8FromPath(file) +
             (fs::is_directory(status) ? ": it is a folder, not a file" : ": it is not a file");
    return false;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in.is_open())
    return Fail(error, "cannot open", file, std::error_code(errno, std::generic_category()));
  std::vector<char> chunk(1 << 16);
  while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
    bytes->insert(bytes->end(), chunk.data(), chunk.data() + in.gcount());
  }
  if (in.bad()) return Fail(error, "cannot read", file, std::make_error_code(std::errc::io_error));
  return true;
}

// Copies one file unless something already stands at `to`; `copied` says whether it was.
bool CopyFileIfMissing(const fs::path& from, const fs::path& to, std::string* error,
                       bool* copied = nullptr) {
  std::error_code code;
  if (copied) *copied = false;
  if (fs::exists(fs::symlink_status(to, code))) return true;
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(from, &bytes, error) || !WriteNewFile(to, bytes, error)) return false;
  if (copied) *copied = true;
  return true;
}

// Copies one entry of a folder being copied: a folder as a tree, anything else as a file.
bool CopyEntry(const fs::directory_entry& entry, const fs::path& target, std::string* error) {
  std::error_code code;
  const fs::file_status status = entry.status(code);
  if (code && code != std::errc::no_such_file_or_directory) {
    return Fail(error, "cannot query", entry.path(), code);
  }
  if (!fs::exists(status)) return true;  // removed meanwhile, or a link to nothing
  const fs::path to = target / entry.path().filename();
  return fs::is_directory(status) ? CopyTree(entry.path(), to, error)
                                  : CopyFileIfMissing(entry.path(), to, error);
}

bool CopyTree(const fs::path& source, const fs::path& target, std::string* error) {
  std::error_code code;
  fs::create_directories(target, code);
  if (code) return Fail(error, "cannot create folder", target, code);
  fs::directory_iterator entry(source, code);
  for (; !code && entry != fs::directory_iterator(); entry.increment(code)) {
    if (!CopyEntry(*entry, target, error)) return false;
  }
  if (code) return Fail(error, "cannot list folder", source, code);
  return true;
}

// The machine's companion folder, when the source has one.
bool CopyCompanionFolder(const fs::path& source, const fs::path& target, std::string* error) {
  std::error_code code;
  const fs::file_status status = fs::status(source, code);
  if (code && code != std::errc::no_such_file_or_directory) {
    return Fail(error, "cannot query", source, code);
  }
  return !fs::is_directory(status) || CopyTree(source, target, error);
}

}  // namespace

std::optional<std::set<std::string>> ListMachineFiles(std::string_view folder, std::string* error) {
  const fs::path path = PathFromUtf8(folder);
  std::set<std::string> names;
  std::error_code code;
  fs::directory_iterator entry(path, code);
  for (; !code && entry != fs::directory_iterator(); entry.increment(code)) {
    if (entry->path().extension() == kMachineExtension) {
      names.insert(Utf8FromPath(entry->path().filename()));
    }
  }
  if (code) {
    Fail(error, "cannot list folder", path, code);
    return std::nullopt;
  }
  return names;
}

bool CopyFolderTree(std::string_view source, std::string_view target, std::string* error) {
  return CopyTree(PathFromUtf8(source), PathFromUtf8(target), error);
}

bool SeedMachineFolder(std::string_view source, std::string_view target, std::string* error,
                       FileNameKeyRule sameName) {
  // Whatever a step throws (the library's own failures, memory) ends the seeding as a failure
  // that names the path in hand: seeding runs inside the host's run command.
  std::string inHand;
  try {
    inHand = target;
    const auto present = ListMachineFiles(target, error);
    if (!present) return false;
    inHand = source;
    const auto offered = ListMachineFiles(source, error);
    if (!offered) return false;
    std::set<std::string> presentKeys;
    std::string unused;
    for (const std::string& name : *present)
      presentKeys.insert(sameName(name, unused).value_or(name));
    const fs::path from = PathFromUtf8(source);
    const fs::path to = PathFromUtf8(target);
    for (const std::string& name : *offered) {
      if (presentKeys.count(sameName(name, unused).value_or(name))) continue;
      const fs::path file = PathFromUtf8(name);
      const fs::path base = PathFromUtf8(name.substr(0, name.size() - kMachineExtension.size()));
      inHand = Utf8FromPath(from / file);
      bool copied = false;
      // A machine file already there under another spelling is the user's machine: its folder
      // gets nothing of the generic one.
      if (!CopyFileIfMissing(from / file, to / file, error, &copied) ||
          (copied && !CopyCompanionFolder(from / base, to / base, error))) {
        return false;
      }
    }
    return true;
  } catch (const std::exception& thrown) {
    *error = "cannot copy " + inHand + ": " + thrown.what();
  } catch (...) {
    *error = "cannot copy " + inHand;
  }
  return false;
}

}  // namespace rigwright
