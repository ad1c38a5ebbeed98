// The STL reply composed from what the user gives the picker: level names from the host part,
// the typed name, the tolerance text and the chosen file. The input's first byte says what is
// picked and checked (bit 0: the picked entities; bits 1 to 6: the level rows; bit 7: no working
// folder); the rest is split at "\n--\n" into the tolerance, the typed name, the chosen file ("+"
// in front makes it an existing file of that name) and one level name per row. Every generated
// file must lie directly in the working folder under a name that cannot break the reply, and the
// reply must list exactly the files written.
#include <cstdint>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "addin/stl_reply.h"
#include "fuzz/fuzz_support.h"
#include "standin/host/development_host.h"

namespace rigwright {
namespace {

constexpr int kRows = 6;

class SilentMessages final : public UserMessages {
 public:
  void Tell(std::string_view, MessageIcon) override { ++told; }
  bool AskYesNo(std::string_view) override {
    ++asked;
    return true;
  }
  int told = 0;
  int asked = 0;
};

// Three levels with a box each and a fourth without entities; boxes have the same triangles at
// every tolerance, so no input makes the work grow.
void InstallPart() {
  standin::PartData part;
  for (std::int32_t id = 1; id <= 3; ++id) {
    part.entities.push_back(standin::PartEntity{id, 0x100, static_cast<std::uint8_t>(id), id,
                                                standin::BoxShape{{0, 0, 0}, {1, 1, 1}}});
  }
  standin::InstallPart(part);
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool IsColorText(std::string_view text) {
  if (text.size() != 8 || !text.starts_with("0x")) return false;
  return text.substr(2).find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

std::vector<std::string> FilesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    FUZZ_CHECK(entry.is_regular_file());
    names.push_back(entry.path().filename().string());
  }
  return names;
}

// The generated entries: "<folder><name>@0xrrggbb", each name a file of its own in the folder.
void CheckGenerated(std::string_view generated, const std::string& folder, std::size_t most) {
  std::set<std::string> names;
  for (std::string_view entry : fuzz::SplitInput(generated, ";")) {
    if (generated.empty()) break;
    FUZZ_CHECK(entry.starts_with(folder));
    entry.remove_prefix(folder.size());
    const std::size_t at = entry.rfind('@');
    FUZZ_CHECK(at != std::string_view::npos && IsColorText(entry.substr(at + 1)));
    const std::string name(entry.substr(0, at));
    FUZZ_CHECK(name.ends_with(".stl"));
    for (const char c : name) {
      FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 &&
                 std::string_view("/\\<>:\"|?*;@").find(c) == std::string_view::npos);
    }
    FUZZ_CHECK(names.insert(Lower(name)).second);
  }
  FUZZ_CHECK(names.size() <= most);
  const std::vector<std::string> files = FilesIn(folder);
  FUZZ_CHECK(files.size() == names.size());
  for (const std::string& file : files) FUZZ_CHECK(names.count(Lower(file)) == 1);
}

void Accept(std::uint8_t flags, std::string_view rest, const fuzz::PrivateFolder& folder) {
  const std::vector<std::string_view> fields = fuzz::SplitInput(rest, "\n--\n");
  auto field = [&](std::size_t i) {
    return i < fields.size() ? std::string(fields[i]) : std::string();
  };
  const std::string stlFolder = folder.text() + "stl/";
  std::filesystem::create_directory(stlFolder);

  StlAcceptInput input;
  input.toleranceText = field(0);
  input.nameText = field(1);
  input.chosenFile = field(2);
  if (input.chosenFile.starts_with('+')) {
    input.chosenFile = folder.text() + "chosen-" + input.chosenFile.substr(1);
    std::ofstream(input.chosenFile) << "solid chosen\nendsolid\n";
  }
  if (flags & 1) input.pickedIds = {1, 3};
  if (!(flags & 0x80)) input.stlFolder = stlFolder;
  std::size_t most = input.pickedIds.empty() ? 0 : 1;
  for (int row = 0; row < kRows; ++row) {
    const bool checked = flags & (2 << row);
    input.rows.push_back({row % 4 + 1, field(3 + row), checked});
    most += checked;
  }

  SilentMessages messages;
  const StlAcceptResult result = BuildStlReply(input, messages);
  std::error_code error;
  const bool chosenCounts =
      !input.chosenFile.empty() && std::filesystem::is_regular_file(input.chosenFile, error);
  if (!result.close || result.reply.empty()) {
    FUZZ_CHECK(result.reply.empty());
    FUZZ_CHECK(messages.told + messages.asked == 1);
    FUZZ_CHECK(!chosenCounts || !result.close);
    return;
  }
  // The chosen file comes last, as the user gave it.
  std::string_view generated = result.reply;
  if (chosenCounts) {
    FUZZ_CHECK(generated.ends_with(input.chosenFile));
    generated.remove_suffix(input.chosenFile.size());
    if (!generated.empty()) {
      FUZZ_CHECK(generated.back() == ';');
      generated.remove_suffix(1);
    }
  }
  CheckGenerated(generated, stlFolder, most);
}

}  // namespace
}  // namespace rigwright

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace rigwright;
  static const fuzz::PrivateFolder folder;
  static const bool installed = (InstallPart(), true);
  (void)installed;
  if (size == 0) return 0;
  folder.Clear();
  Accept(data[0], std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1), folder);
  return 0;
}
