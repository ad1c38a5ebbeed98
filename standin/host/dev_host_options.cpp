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

std::string DevHostUsage() {
  return "Usage: RigwrightDevHost [options]\n"
         "Stands in for the CAD host: shows a part, loads the add-in and offers its commands.\n"
         "\n"
         "  --part <file>              part to show (JSON); default: an empty part\n"
         "  --addin <library>          add-in to load; default: " +
         std::string(kAddinFileName) +
         " beside the program\n"
         "  --host-version <n>         version reported to the add-in; default: " +
         std::to_string(kDevHostVersion) +
         "\n"
         "  --selection-script <file>  answer every interactive selection from this script\n"
         "  --run-rigwright            press the add-in's \"Rigwright\" command once the window "
         "is up\n"
         "  --help                     print this text and end\n";
}

bool ParseDevHostOptions(const std::vector<std::string>& arguments, DevHostOptions* options,
                         std::string* error) {
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& option = arguments[i];
    if (option == "--run-rigwright" || option == "--help") {
      (option == "--help" ? options->showHelp : options->runRigwright) = true;
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
