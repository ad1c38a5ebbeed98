// Scripted answers to the host's interactive selection: one line per selection, in order, each
// the identifiers of the entities picked, separated by spaces or commas. An empty line picks
// nothing; so does every selection after the last line. Lines starting with '#' are skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rigwright::standin {

class SelectionScript {
 public:
  // Reads a script from text; empty, with `error` naming the line, when a line holds anything
  // but identifiers.
  static std::optional<SelectionScript> Parse(std::string_view text, std::string* error);
  // Reads a script file; `error` names the file.
  static std::optional<SelectionScript> Load(const std::filesystem::path& file, std::string* error);

  // The answer to the next selection.
  std::vector<std::int32_t> Next();

 private:
  std::vector<std::vector<std::int32_t>> picks_;
  std::size_t next_ = 0;  // index into picks_ of the next answer
};

}  // namespace rigwright::standin
