#include "platform/engine_text.h"

// The 8-bit texts here are UTF-8: every path is passed and read back as it is.
namespace rigwright {

const EngineTextForms& SystemEngineTextForms() {
  static const EngineTextForms forms{
      [](std::string_view) { return std::optional<std::string>(); },
      [](std::string_view utf8) { return std::optional<std::string>(utf8); },
      [](std::string_view utf8) { return std::string(utf8); },
  };
  return forms;
}

std::string Utf8FromEnginePath(std::string_view text) { return std::string(text); }

}  // namespace rigwright
