#include "wrapper/startup/wrapper_options.h"

#include <charconv>
#include <optional>

namespace rigwright {
namespace {

std::optional<std::string> QuotedValue(std::string_view commandLine, std::string_view name) {
  const std::size_t at = commandLine.find(name);
  if (at == std::string_view::npos) return std::nullopt;
  const std::size_t open = commandLine.find('"', at);
  if (open == std::string_view::npos) return std::nullopt;
  const std::size_t start = open + 1;
  const std::size_t close = commandLine.find('"', start);
  const std::size_t end = close == std::string_view::npos ? commandLine.size() : close;
  return std::string(commandLine.substr(start, end - start));
}

// Reads an int the way a formatted stream does: blanks skipped, an optional sign, the digits
// up to the first non-digit. Nothing readable, or a number out of range, gives 0.
int LeadingInteger(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t\n\v\f\r");
  if (first == std::string_view::npos) return 0;
  text.remove_prefix(first);
  if (text.starts_with('+') && !text.substr(1).starts_with('-')) text.remove_prefix(1);
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() ? value : 0;
}

}  // namespace

WrapperOptions ParseWrapperOptions(std::string_view commandLine, WrapperOptions defaults) {
  WrapperOptions options = std::move(defaults);
  if (auto value = QuotedValue(commandLine, "--language=")) options.language = *value;
  if (auto value = QuotedValue(commandLine, "--machineDirectory=")) options.machineFolder = *value;
  constexpr std::string_view kUnit = "--defaultUnit=";
  if (const std::size_t at = commandLine.find(kUnit); at != std::string_view::npos) {
    options.defaultUnit = LeadingInteger(commandLine.substr(at + kUnit.size()));
  }
  if (auto value = QuotedValue(commandLine, "--pipeName=")) options.pipeName = *value;
  return options;
}

std::string JoinCommandLine(int argc, const char* const* argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) text += ' ';
    text += argv[i];
  }
  return text;
}

std::string_view CommandLineAfterProgramName(std::string_view commandLine) {
  auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  std::size_t at = 0;
  if (commandLine.starts_with('"')) {
    const std::size_t close = commandLine.find('"', 1);
    at = close == std::string_view::npos ? commandLine.size() : close + 1;
  } else {
    while (at < commandLine.size() && !isBlank(commandLine[at])) ++at;
  }
  while (at < commandLine.size() && isBlank(commandLine[at])) ++at;
  return commandLine.substr(at);
}

}  // namespace rigwright
