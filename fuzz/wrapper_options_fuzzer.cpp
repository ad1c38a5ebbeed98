// The wrapper's start-up inputs: its command line and the names of its working folder. The first
// byte says what the rest is:
//   0  a command line, parsed as the wrapper parses it;
//   1  arguments separated by NUL bytes, joined as the wrapper joins argv, then parsed;
//   2  what already stands in the temporary folder under the working folder names (one byte per
//      name: nothing, a folder, a file, a dangling link, a link to a folder), then a folder is
//      claimed and removed again.
// Option values are always cut from the input; the working folder is always a new folder of
// its own directly in the temporary folder, and removing it removes nothing else.
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "wrapper/startup/working_folder.h"
#include "wrapper/startup/wrapper_options.h"

namespace rigwright {
namespace {

// A quoted option's value is the default, or text of the command line without a double quote
// that follows the option's name.
void CheckQuoted(std::string_view line, std::string_view name, const std::string& value,
                 const std::string& fallback) {
  const std::size_t at = line.find(name);
  if (at == std::string_view::npos || line.find('"', at) == std::string_view::npos) {
    FUZZ_CHECK(value == fallback);
    return;
  }
  FUZZ_CHECK(value.size() <= line.size());
  FUZZ_CHECK(value.find('"') == std::string::npos);
  const std::size_t start = line.find('"', at) + 1;
  FUZZ_CHECK(line.substr(start, value.size()) == value);
}

void ParseLine(std::string_view line) {
  const WrapperOptions defaults{"fallback-language", "/fallback/folder/", 7,
                                "\\\\.\\pipe\\Fallback"};
  const WrapperOptions options = ParseWrapperOptions(line, defaults);
  CheckQuoted(line, "--language=", options.language, defaults.language);
  CheckQuoted(line, "--machineDirectory=", options.machineFolder, defaults.machineFolder);
  CheckQuoted(line, "--pipeName=", options.pipeName, defaults.pipeName);
  constexpr std::string_view kUnit = "--defaultUnit=";
  const std::size_t at = line.find(kUnit);
  if (at == std::string_view::npos) {
    FUZZ_CHECK(options.defaultUnit == defaults.defaultUnit);
  } else if (options.defaultUnit != 0) {
    // The digits of a number read are in the text right after the name.
    const std::string digits = std::to_string(options.defaultUnit).substr(options.defaultUnit < 0);
    FUZZ_CHECK(line.substr(at + kUnit.size()).find(digits) != std::string_view::npos);
  }
}

void JoinAndParse(std::string_view input) {
  std::vector<std::string> pieces = {"RigwrightWrapper"};
  for (std::string_view piece : fuzz::SplitInput(input, std::string_view("\0", 1))) {
    pieces.emplace_back(piece);
  }
  std::vector<const char*> argv;
  std::size_t length = 0;
  for (const std::string& piece : pieces) {
    argv.push_back(piece.c_str());
    length += piece.size();
  }
  const std::string line = JoinCommandLine(static_cast<int>(argv.size()), argv.data());
  FUZZ_CHECK(line.size() == length - pieces[0].size() + pieces.size() - 2);
  ParseLine(line);
}

enum class Entry { kNone, kFolder, kFile, kDanglingLink, kFolderLink };

void ClaimAmong(std::string_view input) {
  static const fuzz::PrivateFolder folder;
  folder.Clear();
  const std::filesystem::path& temp = folder.path();
  std::filesystem::create_directory(temp / "elsewhere");
  std::vector<Entry> entries;
  for (const char c : input.substr(0, 24))
    entries.push_back(static_cast<Entry>(static_cast<unsigned char>(c) % 5));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::filesystem::path path = temp / WorkingFolderName(static_cast<int>(i));
    switch (entries[i]) {
      case Entry::kNone:
        break;
      case Entry::kFolder:
        std::filesystem::create_directory(path);
        break;
      case Entry::kFile:
        std::ofstream(path) << "taken";
        break;
      case Entry::kDanglingLink:
        std::filesystem::create_symlink("nowhere", path);
        break;
      case Entry::kFolderLink:
        std::filesystem::create_directory_symlink("elsewhere", path);
        break;
    }
  }
  std::size_t first = 0;
  while (first < entries.size() && entries[first] != Entry::kNone) ++first;

  const WorkingFolder claimed = ClaimWorkingFolder(folder.text());
  FUZZ_CHECK(claimed.error.empty());
  FUZZ_CHECK(claimed.path == folder.text() + WorkingFolderName(static_cast<int>(first)) + "/");
  const std::filesystem::path made = temp / WorkingFolderName(static_cast<int>(first));
  FUZZ_CHECK(std::filesystem::is_directory(std::filesystem::symlink_status(made)));
  FUZZ_CHECK(std::filesystem::is_empty(made));

  FUZZ_CHECK(RemoveWorkingFolder(claimed.path).empty());
  FUZZ_CHECK(!std::filesystem::exists(std::filesystem::symlink_status(made)));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto status =
        std::filesystem::symlink_status(temp / WorkingFolderName(static_cast<int>(i)));
    FUZZ_CHECK(std::filesystem::exists(status) == (entries[i] != Entry::kNone));
  }
  FUZZ_CHECK(std::filesystem::is_directory(temp / "elsewhere"));
}

}  // namespace
}  // namespace rigwright

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 3) {
    case 0:
      rigwright::ParseLine(rest);
      break;
    case 1:
      rigwright::JoinAndParse(rest);
      break;
    default:
      rigwright::ClaimAmong(rest);
      break;
  }
  return 0;
}
