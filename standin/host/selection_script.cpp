#include "standin/host/selection_script.h"

#include <charconv>
#include <fstream>
#include <iterator>

#include "common/path_text.h"

namespace rigwright::standin {
namespace {

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == ',' || c == '\r'; }

bool ParseLine(std::string_view line, std::vector<std::int32_t>* ids) {
  std::size_t i = 0;
  while (i < line.size()) {
    if (IsSeparator(line[i])) {
      ++i;
      continue;
    }
    std::int32_t id = 0;
    const auto [stop, problem] = std::from_chars(line.data() + i, line.data() + line.size(), id);
    if (problem != std::errc() || (stop != line.data() + line.size() && !IsSeparator(*stop))) {
      return false;
    }
    ids->push_back(id);
    i = static_cast<std::size_t>(stop - line.data());
  }
  return true;
}

}  // namespace

std::optional<SelectionScript> SelectionScript::Parse(std::string_view text, std::string* error) {
  SelectionScript script;
  int number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++number;
    if (line.starts_with('#')) continue;
    std::vector<std::int32_t> ids;
    if (!ParseLine(line, &ids)) {
      *error = "line " + std::to_string(number) + " is not a list of entity identifiers";
      return std::nullopt;
    }
    script.picks_.push_back(std::move(ids));
  }
  return script;
}

std::optional<SelectionScript> SelectionScript::Load(const std::filesystem::path& file,
                                                     std::string* error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    *error = "cannot read selection script " + Utf8FromPath(file);
    return std::nullopt;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto script = Parse(text, error);
  if (!script) *error = "selection script " + Utf8FromPath(file) + ": " + *error;
  return script;
}

std::vector<std::int32_t> SelectionScript::Next() {
  if (next_ >= picks_.size()) return {};
  return picks_[next_++];
}

}  // namespace rigwright::standin
