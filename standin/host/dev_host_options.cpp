#include "standin/host/dev_host_options.h"

#include <charconv>

namespace rigwright::standin {
namespace {

bool ReadNumber(const std::string& text, int* number) {
  const char* end = text.data() + text.size();
  const auto [stop, problem] = std::from_chars(text.data(), end, *number);
  return problem == std::errc() && stop == end && !text.empty();
}

}  // namespace

bool ParseDevHostOptions(const std::vector<std::string>& arguments, DevHostOptions* options,
                         std::string* error) {
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& option = arguments[i];
    if (option == "--run-rigwright") {
      options->runRigwright = true;
      continue;
    }
    std::string* text = option == "--part"               ? &options->partFile
                        : option == "--addin"            ? &options->addinLibrary
                        : option == "--selection-script" ? &options->selectionScript
                                                         : nullptr;
    if (!text && option != "--host-version") {
      *error = "unknown option " + option;
      return false;
    }
    if (i + 1 == arguments.size()) {
      *error = option + " needs a value";
      return false;
    }
    const std::string& value = arguments[++i];
    if (text) {
      *text = value;
    } else if (!ReadNumber(value, &options->hostVersion)) {
      *error = "--host-version needs a whole number, not \"" + value + "\"";
      return false;
    }
  }
  return true;
}

}  // namespace rigwright::standin
