#include "addin/stl_reply.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>
#include <filesystem>
#include <functional>
#include <iterator>
#include <set>

#include "addin/stl_generation.h"
#include "common/path_text.h"
#include "common/pipe_protocol.h"

namespace rigwright {
namespace {

constexpr std::string_view kNameMissing = "Please enter a name for the selected geometry";
constexpr std::string_view kNoWorkingFolder =
    "STL files cannot be generated: the machine editor has not told Rigwright the folder they "
    "go into. Choose an existing STL file instead, or close the editor and start it again.";
constexpr std::string_view kToleranceNotPositive =
    "Please enter a positive triangulation tolerance.";
constexpr std::string_view kNothingChosen =
    "Failed to select/export any STL file. Close STL picker?";
constexpr std::string_view kStlExtension = ".stl";
// Separators, what common file systems refuse, and the reply's own separators.
constexpr std::string_view kUnsafeCharacters = "/\\<>:\"|?*;@";

// Names Windows gives to devices in every folder: a file of such a base name is the device, so
// what is written there goes nowhere. The digit may also be a superscript one, in UTF-8.
constexpr std::string_view kDeviceNames[] = {"con", "prn", "aux", "nul", "conin$", "conout$"};
constexpr std::string_view kNumberedDevices[] = {"com", "lpt"};
constexpr std::string_view kSuperscriptDigits[] = {"\xc2\xb9", "\xc2\xb2", "\xc2\xb3"};

bool IsPositiveNumber(double value) { return value > 0 && std::isfinite(value); }

// Generated files go into the wrapper's working folder. Without one (no folder message came, or
// none was taken), file names would be joined onto nothing and land in the host's current folder.
bool IsWorkingFolder(const std::string& text) {
  if (text.empty()) return false;
  try {
    return PathFromUtf8(text).is_absolute();
  } catch (const std::exception&) {
    return false;
  }
}

bool IsExistingRegularFile(const std::string& text) {
  if (text.empty()) return false;
  std::error_code error;
  return std::filesystem::is_regular_file(PathFromUtf8(text), error);
}

std::string FoldCase(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

// Collects the entries of one reply and keeps its generated files apart: a file name already
// written in this reply gets " (2)", " (3)", ... before ".stl". Names compare without regard to
// case, so that the files stay apart also where the file system ignores case.
class ReplyEntries {
 public:
  using Writer = std::function<bool(const std::string& path, StlColor* color)>;

  ReplyEntries(std::string_view folder) : folder_(folder) {}

  void AddGenerated(const std::string& fileName, const Writer& write) {
    const std::string unique = UniqueFileName(fileName);
    const std::string path = folder_ + unique;
    StlColor color = 0;
    if (!write(path, &color)) return;
    written_.insert(FoldCase(unique));
    Add(path + "@" + FormatStlColor(DarkenStlColor(color)));
  }

  void Add(const std::string& entry) {
    if (!text_.empty()) text_ += ';';
    text_ += entry;
  }

  const std::string& text() const { return text_; }

 private:
  std::string UniqueFileName(const std::string& fileName) const {
    const std::string stem = fileName.substr(0, fileName.size() - kStlExtension.size());
    std::string candidate = fileName;
    for (int n = 2; written_.count(FoldCase(candidate)); ++n) {
      candidate = stem + " (" + std::to_string(n) + ")" + std::string(kStlExtension);
    }
    return candidate;
  }

  std::string folder_;
  std::set<std::string> written_;  // case-folded file names written so far
  std::string text_;
};

}  // namespace

double ReadTolerance(std::string_view text) {
  const std::size_t start = text.find_first_not_of(" \t\n\v\f\r");
  if (start == std::string_view::npos) return 0;
  text.remove_prefix(start);
  if (text.size() > 1 && text[0] == '+' && text[1] != '-') text.remove_prefix(1);
  double value = 0;
  const bool negative = !text.empty() && text[0] == '-';
  const std::string_view digits = text.substr(negative ? 1 : 0);
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    const auto hex = std::from_chars(digits.data() + 2, digits.data() + digits.size(), value,
                                     std::chars_format::hex);
    if (hex.ec == std::errc()) return negative ? -value : value;
  }
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() ? value : 0;
}

bool IsDeviceName(std::string_view name) {
  // Windows looks at the part before the first '.', without its trailing spaces, in any case.
  std::string base = FoldCase(name.substr(0, name.find('.')));
  base.erase(base.find_last_not_of(' ') + 1);
  const auto is = [&](std::string_view device) { return base == device; };
  if (std::any_of(std::begin(kDeviceNames), std::end(kDeviceNames), is)) return true;
  for (std::string_view prefix : kNumberedDevices) {
    if (base.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string_view digit = std::string_view(base).substr(prefix.size());
    if (digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9') return true;
    const auto isDigit = [&](std::string_view superscript) { return digit == superscript; };
    if (std::any_of(std::begin(kSuperscriptDigits), std::end(kSuperscriptDigits), isDigit)) {
      return true;
    }
  }
  return false;
}

std::string SafeFileNameText(std::string_view text) {
  std::string safe(text);
  for (char& c : safe) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || kUnsafeCharacters.find(c) != std::string_view::npos) c = '_';
  }
  // The same on every system, so that the editor is sent the same names everywhere.
  if (IsDeviceName(safe)) safe.insert(0, 1, '_');
  return safe;
}

std::string StlFileNameForTypedName(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) name = name.substr(0, dot);
  return SafeFileNameText(name) + std::string(kStlExtension);
}

std::string StlFileNameForLevel(std::string_view levelName) {
  return SafeFileNameText(levelName) + std::string(kStlExtension);
}

StlAcceptResult BuildStlReply(const StlAcceptInput& input, UserMessages& messages) {
  const bool chosen = IsExistingRegularFile(input.chosenFile);
  const std::string refusal = chosen ? StlPathRefusal(input.chosenFile) : std::string();
  if (!refusal.empty()) {
    messages.Tell(refusal, MessageIcon::kExclamation);
    return {false, {}};
  }
  const double tolerance = ReadTolerance(input.toleranceText);
  const bool anyPicked = !input.pickedIds.empty();
  const bool anyChecked = std::any_of(input.rows.begin(), input.rows.end(),
                                      [](const StlLevelRow& row) { return row.checked; });
  if ((anyPicked || anyChecked) && !IsWorkingFolder(input.stlFolder)) {
    messages.Tell(kNoWorkingFolder, MessageIcon::kNone);
    return {false, {}};
  }
  if (anyPicked && input.nameText.empty()) {
    messages.Tell(kNameMissing, MessageIcon::kNone);
    return {false, {}};
  }
  if ((anyPicked || anyChecked) && !IsPositiveNumber(tolerance)) {
    messages.Tell(kToleranceNotPositive, MessageIcon::kExclamation);
    return {false, {}};
  }

  ReplyEntries entries(input.stlFolder);
  if (anyPicked) {
    entries.AddGenerated(StlFileNameForTypedName(input.nameText),
                         [&](const std::string& path, StlColor* color) {
                           return WriteEntitiesStl(input.pickedIds, path, tolerance, color);
                         });
  }
  for (const StlLevelRow& row : input.rows) {
    if (!row.checked) continue;
    entries.AddGenerated(StlFileNameForLevel(row.name),
                         [&](const std::string& path, StlColor* color) {
                           return WriteLevelStl(row.number, path, tolerance, color);
                         });
  }
  if (chosen) entries.Add(input.chosenFile);

  if (entries.text().empty()) return {messages.AskYesNo(kNothingChosen), {}};
  return {true, entries.text()};
}

}  // namespace rigwright
